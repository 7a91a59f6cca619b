// The buttons of each box type and what Esc answers, as the terminal, the window and the
// headless run all take them.
#include "platform/ui/UiMessageBox.h"

#include <gtest/gtest.h>

TEST(UiMessageBox, ButtonsAndWhatEscAnswers) {
    struct Case {
        UINT nType;
        std::vector<int> results;
        int escape;
    } cases[] = {
        {MB_OK, {IDOK}, IDOK},
        {MB_OK | MB_ICONHAND, {IDOK}, IDOK},
        {MB_OKCANCEL | MB_ICONHAND, {IDOK, IDCANCEL}, IDCANCEL},
        {MB_OKCANCEL | MB_ICONQUESTION, {IDOK, IDCANCEL}, IDCANCEL},
        {MB_YESNO, {IDYES, IDNO}, 0}, // neither answer is Esc's to give
    };
    for (const Case& c : cases) {
        std::vector<int> results;
        for (const UI_BOX_BUTTON& button : UiMessageBoxButtons(c.nType))
            results.push_back(button.result);
        EXPECT_EQ(results, c.results) << c.nType;
        EXPECT_EQ(UiMessageBoxEscape(c.nType), c.escape) << c.nType;
    }
}
