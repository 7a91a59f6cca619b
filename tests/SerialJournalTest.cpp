// The serial journal on both of its databases: a SQLite file in a temporary folder and a real
// PostgreSQL server on 127.0.0.1. Processes race for numbers, die holding them, and find the
// journal full, read-only, locked or gone.
#include "line/SerialJournal.h"
#include "tests/support/Files.h"
#include "tests/support/Postgres.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

line::RecipeSerial Counter(const std::string& pool, uint64_t first, uint64_t last,
                           uint64_t step = 1) {
    line::RecipeSerial serial;
    serial.present = true;
    serial.pool = pool;
    serial.bytes = 4;
    serial.first = first;
    serial.last = last;
    serial.step = step;
    return serial;
}

int Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

class SerialJournal : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() {
        s_server = new testsupport::PostgresServer;
        ASSERT_TRUE(s_server->Start()) << "the PostgreSQL server did not start";
    }
    static void TearDownTestSuite() {
        delete s_server;
        s_server = nullptr;
    }
    void SetUp() override {
        m_dir = testsupport::MakeTempDir("korvane-journal");
        ASSERT_FALSE(m_dir.empty());
        // One pool per test keeps the shared server's tests apart.
        m_pool = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_pool = m_pool.substr(0, m_pool.find('/'));
    }
    void TearDown() override { fs::remove_all(m_dir); }

    bool Postgres() const { return GetParam() == "postgres"; }
    std::string Where() const { return Postgres() ? s_server->Url() : m_dir + "/serials.db"; }
    std::unique_ptr<line::SerialJournal> Open() {
        line::Verdict verdict;
        auto journal = line::SerialJournal::Open(Where(), &verdict);
        EXPECT_TRUE(verdict.Passed()) << verdict.message;
        return journal;
    }

    static testsupport::PostgresServer* s_server;
    std::string m_dir, m_pool;
};

testsupport::PostgresServer* SerialJournal::s_server = nullptr;

TEST_P(SerialJournal, RacingProcessesNeverShareANumber) {
    const line::RecipeSerial serial = Counter(m_pool, 1000, 999999, 7);
    const int kProcesses = 4, kRounds = 15;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Each its own connection, as separate korvane processes have.
            line::Verdict verdict;
            auto journal = line::SerialJournal::Open(Where(), &verdict);
            std::ofstream out(m_dir + "/got" + std::to_string(p));
            for (int round = 0; journal && round < kRounds; ++round) {
                std::vector<std::string> values;
                if (!journal->Reserve(serial, 1 + round % 3, &values).Passed())
                    _exit(3);
                for (const std::string& value : values) {
                    std::string now;
                    journal->Settle(m_pool, value, line::SerialState::Used, &now);
                    out << value << "\n";
                }
            }
            out.close();
            if (!journal)
                std::fprintf(stderr, "process %d: %s\n", p, verdict.message.c_str());
            _exit(journal ? 0 : 4);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    std::set<uint64_t> seen;
    size_t total = 0;
    for (int p = 0; p < kProcesses; ++p) {
        std::ifstream in(m_dir + "/got" + std::to_string(p));
        for (std::string value; std::getline(in, value); ++total) {
            EXPECT_TRUE(seen.insert(std::stoull(value)).second) << value << " given twice";
            EXPECT_EQ((std::stoull(value) - 1000) % 7, 0u) << value;
        }
    }
    EXPECT_EQ(total, size_t(kProcesses) * (5 * 1 + 5 * 2 + 5 * 3));
    line::SerialPoolView view;
    ASSERT_TRUE(Open()->View(m_pool, &serial, &view).Passed());
    EXPECT_EQ(view.used, total);
    EXPECT_EQ(std::stoull(view.next), *seen.rbegin() + 7);
}

TEST_P(SerialJournal, StatesAndExhaustionOfACounterAndAList) {
    auto journal = Open();
    ASSERT_TRUE(journal);
    line::RecipeSerial counter = Counter(m_pool, 1, 5);
    line::RecipeSerial list = Counter(m_pool + "-list", 0, 0);
    list.isList = true;
    list.values = {"0a", "0b", "0c"};

    for (line::RecipeSerial* serial : {&counter, &list}) {
        SCOPED_TRACE(serial->pool);
        const std::vector<std::string> all =
            serial->isList ? serial->values : std::vector<std::string>{"1", "2", "3", "4", "5"};
        std::vector<std::string> values;
        ASSERT_TRUE(journal->Reserve(*serial, 3, &values).Passed());
        ASSERT_EQ(values, std::vector<std::string>(all.begin(), all.begin() + 3));
        std::string now;
        ASSERT_TRUE(journal->Settle(serial->pool, all[0], line::SerialState::Used, &now).Passed());
        EXPECT_EQ(now, "used");
        ASSERT_TRUE(journal->Settle(serial->pool, all[1], line::SerialState::Void, &now).Passed());
        ASSERT_TRUE(
            journal->Settle(serial->pool, all[2], line::SerialState::Returned, &now).Passed());
        EXPECT_EQ(now, "returned");
        // A settled value keeps its state: a second outcome cannot change it.
        ASSERT_TRUE(journal->Settle(serial->pool, all[0], line::SerialState::Void, &now).Passed());
        EXPECT_EQ(now, "used");

        // Only the returned number comes back; the void one never does.
        const size_t left = all.size() - 2;
        line::Verdict verdict = journal->Reserve(*serial, left + 1, &values);
        EXPECT_EQ(verdict.exitClass, line::kJournalError);
        EXPECT_NE(verdict.message.find("is exhausted: " + std::to_string(left) + " left, " +
                                       std::to_string(left + 1) + " needed"),
                  std::string::npos)
            << verdict.message;
        line::SerialPoolView view;
        ASSERT_TRUE(journal->View(serial->pool, serial, &view).Passed());
        EXPECT_EQ(view.reserved + view.used + view.voided + view.returned, 3u) << "none kept";
        EXPECT_EQ(view.remaining, left);
        EXPECT_EQ(view.next, all[2]);

        ASSERT_TRUE(journal->Reserve(*serial, left, &values).Passed());
        EXPECT_EQ(values.front(), all[2]);
        EXPECT_EQ(values.back(), all.back());
        EXPECT_EQ(journal->Reserve(*serial, 1, &values).exitClass, line::kJournalError);
        ASSERT_TRUE(journal->View(serial->pool, serial, &view).Passed());
        EXPECT_EQ(view.remaining, 0u);
        EXPECT_EQ(view.next, "");
        EXPECT_EQ(view.held.size(), left);
    }
}

TEST_P(SerialJournal, DeadHoldersReservationsTurnVoidAndStayOut) {
    const line::RecipeSerial serial = Counter(m_pool, 1, 100);
    auto journal = Open();
    ASSERT_TRUE(journal);
    std::vector<std::string> mine;
    ASSERT_TRUE(journal->Reserve(serial, 1, &mine).Passed());

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        line::Verdict verdict;
        auto other = line::SerialJournal::Open(Where(), &verdict);
        std::vector<std::string> values;
        if (other && other->Reserve(serial, 2, &values).Passed())
            kill(getpid(), SIGKILL); // dies holding 2 and 3
        _exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    std::vector<line::SerialEntry> voided;
    ASSERT_TRUE(journal->VoidStale(&voided).Passed());
    ASSERT_EQ(voided.size(), 2u) << "this process's own reservation stands";
    EXPECT_EQ(voided[0].pool, m_pool);
    EXPECT_EQ(voided[0].holder.pid, pid);
    std::string now;
    ASSERT_TRUE(journal->Settle(m_pool, voided[1].value, line::SerialState::Used, &now).Passed());
    EXPECT_EQ(now, "void");
    ASSERT_TRUE(journal->VoidStale(&voided).Passed());
    EXPECT_TRUE(voided.empty());

    std::vector<std::string> next;
    ASSERT_TRUE(journal->Reserve(serial, 1, &next).Passed());
    EXPECT_EQ(next, std::vector<std::string>{"4"});
}

TEST_P(SerialJournal, JournalThatCannotServeIsExitEight) {
    const line::RecipeSerial serial = Counter(m_pool, 1, 1000);
    line::Verdict verdict;
    if (!Postgres()) {
        EXPECT_FALSE(line::SerialJournal::Open(m_dir + "/no/such/folder/s.db", &verdict));
        EXPECT_EQ(verdict.exitClass, line::kJournalError);
        EXPECT_NE(verdict.message.find("cannot be opened"), std::string::npos) << verdict.message;

        // Another process holds the write lock past the bound.
        auto journal = Open();
        sqlite3* holder = nullptr;
        ASSERT_EQ(sqlite3_open(Where().c_str(), &holder), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        std::vector<std::string> values;
        verdict = journal->Reserve(serial, 1, &values);
        EXPECT_EQ(verdict.exitClass, line::kJournalError) << verdict.message;
        EXPECT_NE(verdict.message.find("cannot be locked"), std::string::npos) << verdict.message;
        sqlite3_close(holder);
    } else {
        EXPECT_FALSE(
            line::SerialJournal::Open("postgresql://korvane@127.0.0.1:1/korvane", &verdict));
        EXPECT_EQ(verdict.exitClass, line::kJournalError);
        EXPECT_NE(verdict.message.find("cannot be opened"), std::string::npos) << verdict.message;
    }
}

// A server stopped in the middle of a run: exit 8, and once it is back no number comes twice.
TEST(SerialJournalPostgres, ServerStoppedMidRun) {
    testsupport::PostgresServer server;
    ASSERT_TRUE(server.Start());
    const line::RecipeSerial serial = Counter("stopped", 1, 1000);
    line::Verdict verdict;
    auto journal = line::SerialJournal::Open(server.Url(), &verdict);
    ASSERT_TRUE(journal) << verdict.message;
    std::vector<std::string> before, values;
    ASSERT_TRUE(journal->Reserve(serial, 2, &before).Passed());
    server.Stop();
    verdict = journal->Reserve(serial, 1, &values);
    EXPECT_EQ(verdict.exitClass, line::kJournalError) << verdict.message;
    EXPECT_TRUE(values.empty());
    std::string now;
    EXPECT_EQ(journal->Settle("stopped", before[0], line::SerialState::Used, &now).exitClass,
              line::kJournalError);
    EXPECT_FALSE(line::SerialJournal::Open(server.Url(), &verdict));
    EXPECT_EQ(verdict.exitClass, line::kJournalError);

    ASSERT_TRUE(server.Resume());
    journal = line::SerialJournal::Open(server.Url(), &verdict);
    ASSERT_TRUE(journal) << verdict.message;
    ASSERT_TRUE(journal->Reserve(serial, 2, &values).Passed());
    EXPECT_EQ(values, (std::vector<std::string>{"3", "4"}));
}

// The SQLite journal on a full disk and on a read-only one (mounts need root, which CI has).
TEST(SerialJournalSqlite, FullAndReadOnlyDisk) {
    if (getuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    const std::string dir = testsupport::MakeTempDir("korvane-full");
    ASSERT_EQ(Shell("mount -t tmpfs -o size=1m tmpfs " + dir), 0);
    const line::RecipeSerial serial = Counter("full", 1, 1000000);
    line::Verdict verdict;
    std::vector<std::string> first, values;
    {
        auto journal = line::SerialJournal::Open(dir + "/serials.db", &verdict);
        ASSERT_TRUE(journal) << verdict.message;
        ASSERT_TRUE(journal->Reserve(serial, 1, &first).Passed());
        // Whatever room is left goes to a filler file.
        Shell("dd if=/dev/zero of=" + dir + "/filler bs=4k");
        size_t failures = 0;
        for (int i = 0; i < 200 && failures == 0; ++i) {
            verdict = journal->Reserve(serial, 50, &values);
            failures += verdict.exitClass == line::kJournalError;
        }
        EXPECT_EQ(failures, 1u);
        EXPECT_NE(verdict.message.find("serial journal " + dir), std::string::npos)
            << verdict.message;
        EXPECT_TRUE(values.empty());
    }
    std::set<std::string> issued;
    {
        // Room again: the next numbers follow those committed; none comes twice.
        fs::remove(dir + "/filler");
        auto journal = line::SerialJournal::Open(dir + "/serials.db", &verdict);
        ASSERT_TRUE(journal) << verdict.message;
        line::SerialPoolView view;
        ASSERT_TRUE(journal->View("full", &serial, &view).Passed());
        ASSERT_TRUE(journal->Reserve(serial, 1, &values).Passed());
        EXPECT_EQ(std::stoull(values[0]), view.reserved + 1);
    }
    ASSERT_EQ(Shell("mount -o remount,ro " + dir), 0);
    EXPECT_FALSE(line::SerialJournal::Open(dir + "/serials.db", &verdict));
    EXPECT_EQ(verdict.exitClass, line::kJournalError);
    EXPECT_NE(verdict.message.find("read-only"), std::string::npos) << verdict.message;
    Shell("umount " + dir);
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Backends, SerialJournal, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

} // namespace
