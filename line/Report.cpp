#include "line/Report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace line {

namespace {

// A record's line is read by a small scanner of its top-level keys rather than a whole JSON
// reader, and without copying what it passes over: a million records must be read in well
// under five seconds.
class CRecordScanner {
public:
    CRecordScanner(const char* text, size_t length) : m_at(text), m_end(text + length) {}

    // Calls take(key, value, isString) for each top-level member (a string's value is its
    // contents as written, escapes and all); false when the line is no JSON object.
    template <typename Take> bool Scan(Take take) {
        Space();
        if (!Eat('{'))
            return false;
        Space();
        if (Eat('}'))
            return Rest();
        for (;;) {
            std::string_view key, value;
            if (!String(&key))
                return false;
            Space();
            if (!Eat(':'))
                return false;
            Space();
            const bool isString = m_at < m_end && *m_at == '"';
            if (isString ? !String(&value) : !Skip(&value))
                return false;
            take(key, value, isString);
            Space();
            if (Eat('}'))
                return Rest();
            if (!Eat(','))
                return false;
            Space();
        }
    }

private:
    bool Rest() {
        Space();
        return m_at == m_end;
    }
    void Space() {
        while (m_at < m_end && (*m_at == ' ' || *m_at == '\t' || *m_at == '\r'))
            ++m_at;
    }
    bool Eat(char c) {
        if (m_at < m_end && *m_at == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool String(std::string_view* out) {
        if (!Eat('"'))
            return false;
        const char* from = m_at;
        while (m_at < m_end && *m_at != '"') {
            if (*m_at == '\\' && m_end - m_at < 2)
                return false;
            m_at += *m_at == '\\' ? 2 : 1;
        }
        if (m_at >= m_end)
            return false;
        *out = std::string_view(from, m_at - from);
        ++m_at;
        return true;
    }
    // A number, true, false, null, or a nested object or array (passed over whole).
    bool Skip(std::string_view* out) {
        int depth = 0;
        const char* from = m_at;
        while (m_at < m_end) {
            const char c = *m_at;
            if (c == '"') {
                std::string_view ignored;
                if (!String(&ignored))
                    return false;
                continue;
            }
            if (c == '{' || c == '[') {
                ++depth;
            } else if (c == '}' || c == ']') {
                if (depth == 0)
                    break;
                --depth;
            } else if (depth == 0 && (c == ',' || c == ' ')) {
                break;
            }
            ++m_at;
        }
        *out = std::string_view(from, m_at - from);
        return depth == 0 && m_at > from;
    }

    const char* m_at;
    const char* m_end;
};

// A string's contents with \" \\ and \/ read (names and hashes hold no other escapes).
std::string Unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() &&
            (text[i + 1] == '"' || text[i + 1] == '\\' || text[i + 1] == '/'))
            ++i;
        out += text[i];
    }
    return out;
}

int64_t Integer(std::string_view text) {
    int64_t value = 0;
    const bool negative = !text.empty() && text[0] == '-';
    // At most 18 digits: a longer number (no count of a line's) must not overflow.
    for (size_t i = negative;
         i < text.size() && i < 19u + negative && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + (text[i] - '0');
    return negative ? -value : value;
}

// A number such as 18.42 (the record's seconds hold no exponent).
double Decimal(std::string_view text) {
    double value = 0, unit = 0;
    for (const char c : text) {
        if (c == '.')
            unit = 1;
        else if (c >= '0' && c <= '9')
            value = value * 10 + (c - '0'), unit *= 10;
        else
            break;
    }
    return unit > 0 ? value / unit : value;
}

// "2026-03-02T09:14:07.215Z" as seconds since 1970; NAN when it is none.
double ParseTime(std::string_view text) {
    static const char shape[] = "dddd-dd-ddTdd:dd:dd";
    if (text.size() < 20)
        return NAN;
    for (size_t i = 0; i < sizeof shape - 1; ++i) {
        if (shape[i] == 'd' ? text[i] < '0' || text[i] > '9' : text[i] != shape[i])
            return NAN;
    }
    auto number = [&text](size_t at, size_t digits) {
        int value = 0;
        for (size_t i = at; i < at + digits; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    int y = number(0, 4);
    const int mo = number(5, 2), d = number(8, 2), h = number(11, 2), mi = number(14, 2);
    double s = number(17, 2);
    if (text[19] == '.') {
        double unit = 0.1;
        for (size_t i = 20; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, unit /= 10)
            s += (text[i] - '0') * unit;
    }
    // Days from the civil date (proleptic Gregorian).
    y -= mo <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const double days = era * 146097.0 + doe - 719468;
    return days * 86400 + h * 3600 + mi * 60 + s;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

void BoardStats::Add(bool passedBoard, int64_t exchangesMade, int64_t retriesMade,
                     double secondsTaken) {
    ++boards;
    (passedBoard ? passed : failed)++;
    exchanges += exchangesMade;
    retries += retriesMade;
    seconds.push_back(static_cast<float>(secondsTaken));
}

double BoardStats::Percentile(double p) const {
    if (seconds.empty())
        return 0;
    size_t rank = static_cast<size_t>(std::ceil(p * seconds.size()));
    rank = std::min(std::max<size_t>(rank, 1), seconds.size());
    return seconds[rank - 1];
}

double LineReport::BoardsPerHour() const {
    const double span = lastEnd - firstStart;
    return span > 0 ? all.boards * 3600.0 / span : 0;
}

void LineReport::Finish() {
    for (auto* group : {&images, &ports, &hours}) {
        for (auto& [name, stats] : *group)
            std::sort(stats.seconds.begin(), stats.seconds.end());
    }
    std::sort(all.seconds.begin(), all.seconds.end());
    // A port is compared with the median of the others, so one sick port among two is still
    // told; a rate under one retry per thousand exchanges is never sick.
    flaggedPorts.clear();
    for (const auto& [name, stats] : ports) {
        std::vector<double> others;
        for (const auto& [other, otherStats] : ports) {
            if (other != name)
                others.push_back(otherStats.RetriesPerThousand());
        }
        const double rate = stats.RetriesPerThousand();
        if (!others.empty() && rate >= 1 && rate >= 5 * Median(others))
            flaggedPorts.push_back(name);
    }
}

bool AddRecordLine(const char* text, size_t length, LineReport* report) {
    std::string_view time, port, portId, file, sha;
    int64_t exchanges = 0, retries = 0, exitCode = -1;
    double seconds = 0;
    const bool scanned =
        CRecordScanner(text, length)
            .Scan([&](std::string_view key, std::string_view value, bool isString) {
                if (key == "time" && isString)
                    time = value;
                else if (key == "port" && isString)
                    port = value;
                else if (key == "port_id" && isString)
                    portId = value;
                else if (key == "file" && isString)
                    file = value;
                else if (key == "file_sha256" && isString)
                    sha = value;
                else if (key == "exchanges" && !isString)
                    exchanges = Integer(value);
                else if (key == "retries" && !isString)
                    retries = Integer(value);
                else if (key == "exit" && !isString && !value.empty() && value[0] != 'n')
                    exitCode = Integer(value);
                else if (key == "seconds" && !isString)
                    seconds = Decimal(value);
            });
    const double start = ParseTime(time);
    if (!scanned || exitCode < 0 || std::isnan(start)) {
        ++report->skipped;
        return false;
    }
    const bool passed = exitCode == 0;
    LineReport::Last& last = report->last;
    report->all.Add(passed, exchanges, retries, seconds);
    // The image: its file's name and the first 12 digits of its hash. Names are made only
    // when they differ from the record before's.
    const size_t slash = file.find_last_of('/');
    const std::string_view name = slash == file.npos ? file : file.substr(slash + 1);
    const std::string_view shortSha = sha.empty() ? std::string_view("-") : sha.substr(0, 12);
    if (!last.imageStats || name != last.file || shortSha != last.sha) {
        last.file.assign(name);
        last.sha.assign(shortSha);
        last.imageStats = &report->images[Unescaped(name) + " " + last.sha];
    }
    last.imageStats->Add(passed, exchanges, retries, seconds);
    const std::string_view where = portId.empty() ? port : portId;
    if (!last.portStats || where != last.port) {
        last.port.assign(where);
        last.portStats = &report->ports[Unescaped(where)];
    }
    last.portStats->Add(passed, exchanges, retries, seconds);
    const std::string_view hour = time.substr(0, 13);
    if (!last.hourStats || hour != last.hour) {
        last.hour.assign(hour);
        last.hourStats = &report->hours[last.hour];
    }
    last.hourStats->Add(passed, exchanges, retries, seconds);
    if (report->all.boards == 1 || start < report->firstStart)
        report->firstStart = start;
    if (report->all.boards == 1 || start + seconds > report->lastEnd)
        report->lastEnd = start + seconds;
    return true;
}

void AddRecordText(const std::string& bytes, LineReport* report) {
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    while (at < end) {
        const char* brk = static_cast<const char*>(std::memchr(at, '\n', end - at));
        const char* lineEnd = brk ? brk : end;
        if (lineEnd > at)
            AddRecordLine(at, lineEnd - at, report);
        at = lineEnd + 1;
    }
}

namespace {

std::string StatsText(const BoardStats& s) {
    return "boards " + std::to_string(s.boards) + "  passed " + std::to_string(s.passed) +
           "  failed " + std::to_string(s.failed) + "  yield " + Fixed(100 * s.Yield(), 1) +
           "%  retries " + Fixed(s.RetriesPerThousand(), 2) + "/1000  median " +
           Fixed(s.Percentile(0.5), 2) + " s  p90 " + Fixed(s.Percentile(0.9), 2) + " s";
}

using Json = nlohmann::ordered_json;

// A figure to as many decimals as the text shows.
double Rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

void AddStats(const BoardStats& s, Json* json) {
    (*json)["boards"] = s.boards;
    (*json)["passed"] = s.passed;
    (*json)["failed"] = s.failed;
    (*json)["yield"] = Rounded(s.Yield(), 4);
    (*json)["retries_per_1000"] = Rounded(s.RetriesPerThousand(), 3);
    (*json)["median_seconds"] = Rounded(s.Percentile(0.5), 3);
    (*json)["p90_seconds"] = Rounded(s.Percentile(0.9), 3);
}

bool Flagged(const LineReport& report, const std::string& port) {
    return std::find(report.flaggedPorts.begin(), report.flaggedPorts.end(), port) !=
           report.flaggedPorts.end();
}

std::string Html(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Bars of values in [0, top], one per label, as inline SVG.
std::string BarChart(const std::string& title, const std::vector<std::string>& labels,
                     const std::vector<double>& values, const std::vector<bool>& marked, double top,
                     const std::string& unit) {
    const int barWidth = 36, gap = 12, height = 200, left = 50, bottom = 60;
    // Room on the right for the last label, which slants across.
    const int width = left + static_cast<int>(labels.size()) * (barWidth + gap) + gap;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(std::max(width, 300) + 140) + "\" height=\"" +
                      std::to_string(height + bottom + 30) + "\" role=\"img\"><title>" +
                      Html(title) + "</title>";
    svg += "<line x1=\"" + std::to_string(left) + "\" y1=\"30\" x2=\"" + std::to_string(left) +
           "\" y2=\"" + std::to_string(30 + height) + "\" stroke=\"#333\"/>";
    svg += "<text x=\"4\" y=\"38\" font-size=\"11\">" + Html(Fixed(top, 1) + unit) + "</text>";
    for (size_t i = 0; i < labels.size(); ++i) {
        const double share = top > 0 ? std::min(values[i] / top, 1.0) : 0;
        const int bar = static_cast<int>(share * height);
        const int x = left + gap + static_cast<int>(i) * (barWidth + gap);
        svg += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(30 + height - bar) +
               "\" width=\"" + std::to_string(barWidth) + "\" height=\"" + std::to_string(bar) +
               "\" fill=\"" + (marked[i] ? "#c62828" : "#2e7d32") + "\"><title>" +
               Html(labels[i] + ": " + Fixed(values[i], 2) + unit) + "</title></rect>";
        svg += "<text transform=\"translate(" + std::to_string(x + barWidth / 2) + "," +
               std::to_string(36 + height) + ") rotate(40)\" font-size=\"10\">" +
               Html(labels[i].size() > 24 ? "\xE2\x80\xA6" + labels[i].substr(labels[i].size() - 23)
                                          : labels[i]) +
               "</text>";
    }
    return svg + "</svg>";
}

std::string StatsRow(const std::string& name, const BoardStats& s, bool flagged) {
    std::string row = std::string("<tr") + (flagged ? " class=\"sick\"" : "") + "><td>" +
                      Html(name) + (flagged ? " (retries 5&times; the others')" : "") + "</td>";
    for (const std::string& cell :
         {std::to_string(s.boards), std::to_string(s.passed), std::to_string(s.failed),
          Fixed(100 * s.Yield(), 1) + "%", Fixed(s.RetriesPerThousand(), 2),
          Fixed(s.Percentile(0.5), 2), Fixed(s.Percentile(0.9), 2)})
        row += "<td>" + cell + "</td>";
    return row + "</tr>\n";
}

} // namespace

std::string ReportText(const LineReport& report) {
    std::string text = std::to_string(report.all.boards) +
                       (report.all.boards == 1 ? " board: " : " boards: ") + StatsText(report.all) +
                       "\n" + Fixed(report.BoardsPerHour(), 1) + " boards per hour";
    if (report.skipped)
        text += "; " + std::to_string(report.skipped) + " lines skipped (no record)";
    text += "\n\nImages:\n";
    for (const auto& [name, stats] : report.images)
        text += "  " + name + "\n    " + StatsText(stats) + "\n";
    text += "\nPorts:\n";
    for (const auto& [name, stats] : report.ports) {
        text += "  " + name + (Flagged(report, name) ? "   SICK? retries 5x the others'" : "") +
                "\n    " + StatsText(stats) + "\n";
    }
    return text;
}

std::string ReportJson(const LineReport& report) {
    Json json;
    AddStats(report.all, &json);
    json["boards_per_hour"] = Rounded(report.BoardsPerHour(), 2);
    json["skipped"] = report.skipped;
    json["images"] = Json::array();
    for (const auto& [name, stats] : report.images) {
        const size_t space = name.rfind(' ');
        Json image;
        image["file"] = name.substr(0, space);
        image["sha256"] = name.substr(space + 1);
        AddStats(stats, &image);
        json["images"].push_back(image);
    }
    json["ports"] = Json::array();
    for (const auto& [name, stats] : report.ports) {
        Json port;
        port["port"] = name;
        AddStats(stats, &port);
        port["flagged"] = Flagged(report, name);
        json["ports"].push_back(port);
    }
    json["hours"] = Json::array();
    for (const auto& [hour, stats] : report.hours) {
        Json entry;
        entry["hour"] = hour;
        AddStats(stats, &entry);
        json["hours"].push_back(entry);
    }
    // A file name from a record may hold anything: bytes that are no UTF-8 become U+FFFD.
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string ReportHtml(const LineReport& report) {
    std::vector<std::string> hourLabels, portLabels;
    std::vector<double> yields, rates;
    std::vector<bool> lowYield, sick;
    for (const auto& [hour, stats] : report.hours) {
        hourLabels.push_back(hour.substr(5) + "h");
        yields.push_back(100 * stats.Yield());
        lowYield.push_back(stats.Yield() < 0.9);
    }
    double topRate = 1;
    for (const auto& [port, stats] : report.ports) {
        portLabels.push_back(port);
        rates.push_back(stats.RetriesPerThousand());
        topRate = std::max(topRate, stats.RetriesPerThousand());
        sick.push_back(Flagged(report, port));
    }
    const std::string head = "<tr><th></th><th>boards</th><th>passed</th><th>failed</th>"
                             "<th>yield</th><th>retries/1000</th><th>median s</th>"
                             "<th>p90 s</th></tr>\n";
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>Korvane line report</title><style>"
        "body{font-family:sans-serif;margin:2em;color:#222;background:#fff}"
        "table{border-collapse:collapse;margin-bottom:1.5em}"
        "td,th{border:1px solid #bbb;padding:.25em .6em;text-align:right}"
        "td:first-child{text-align:left}tr.sick td{background:#fdd}"
        "</style></head><body>\n<h1>Line report</h1>\n<p>" +
        std::to_string(report.all.boards) + " boards, " + std::to_string(report.all.passed) +
        " passed, yield " + Fixed(100 * report.all.Yield(), 1) + "%, " +
        Fixed(report.BoardsPerHour(), 1) + " boards per hour</p>\n<h2>Yield per hour</h2>\n" +
        BarChart("Yield per hour", hourLabels, yields, lowYield, 100, "%") +
        "\n<h2>Retries per port</h2>\n" +
        BarChart("Retries per thousand exchanges, per port", portLabels, rates, sick, topRate,
                 "/1000") +
        "\n<h2>Images</h2>\n<table>\n" + head;
    for (const auto& [name, stats] : report.images)
        html += StatsRow(name, stats, false);
    html += "</table>\n<h2>Ports</h2>\n<table>\n" + head;
    for (const auto& [name, stats] : report.ports)
        html += StatsRow(name, stats, Flagged(report, name));
    return html + "</table>\n</body></html>\n";
}

} // namespace line
