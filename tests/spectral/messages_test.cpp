// The message catalogue: every id has both its texts, with the same
// arguments, and rendering keeps the German texts word for word.
#include "spectral/errors.h"
#include "spectral/messages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

std::set<char> Placeholders(const std::string& text) {
    std::set<char> found;
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') found.insert(text[i + 1]);
    return found;
}

} // namespace

TEST(Messages, EveryIdHasAGermanAndAnEnglishTextWithTheSameArguments) {
    for (size_t id = 0; id < size_t(TMessageId::Count); ++id) {
        const TMessageRow* row = FindMessageRow(TMessageId(id));
        ASSERT_NE(row, nullptr) << id;
        EXPECT_EQ(size_t(row->Id), id);
        ASSERT_TRUE(row->German && *row->German) << id;
        ASSERT_TRUE(row->English && *row->English) << id;
        // A worded message carries its German text as %1 and its English one as %2.
        if (row->Id != TMessageId::Worded) {
            EXPECT_EQ(Placeholders(row->German), Placeholders(row->English)) << row->German;
        }
        EXPECT_TRUE(!row->Tool || *row->Tool) << id;
        EXPECT_TRUE(!row->NamesFile || Placeholders(row->German).count('1')) << row->German;
    }
    EXPECT_EQ(FindMessageRow(TMessageId::Count), nullptr);
}

TEST(Messages, RenderFillsArgumentsOnceAndReportsTheCauseInTheSameForm) {
    const TMessage open{TMessageId::CannotOpen, {"a%2.bmp"}, nullptr};
    EXPECT_EQ(GermanText(open), "Datei a%2.bmp kann nicht ge\u00f6ffnet werden");
    EXPECT_EQ(EnglishText(open), "Cannot open the file a%2.bmp");
    EXPECT_EQ(GermanText(TMessage{TMessageId::WatermarkFound, {"   99.5"}, nullptr}),
              "Wasserzeichen gefunden,    99.5 % vollst\u00e4ndig");

    const TMessage line = MessageAbout(TMessageId::FilterLine, {"3"}, open);
    EXPECT_EQ(GermanText(line), "Filterzeile 3: Datei a%2.bmp kann nicht ge\u00f6ffnet werden");
    EXPECT_EQ(EnglishText(line), "Filter line 3: Cannot open the file a%2.bmp");
    const std::string tool = RenderMessage(line, TMessageForm::Tool, [](const TMessage& m) {
        return m.Id == TMessageId::CannotOpen ? std::vector<std::string>{"no such file"}
                                              : std::vector<std::string>{};
    });
    EXPECT_EQ(tool, "filter line 3: cannot open (no such file)");
    EXPECT_EQ(RenderMessage(PlainMessage("as it is"), TMessageForm::English), "as it is");
}

TEST(Messages, AnErrorsWhatIsItsGermanText) {
    const EFileError error(TMessage{TMessageId::FilterFileTooLarge, {"f.flt"}, nullptr});
    EXPECT_STREQ(error.what(), "Datei f.flt ist zu gro\u00df f\u00fcr eine Filterdatei");
    EXPECT_EQ(MessageOf(error).Id, TMessageId::FilterFileTooLarge);
    EXPECT_EQ(MessageOf(std::bad_alloc()).Id, TMessageId::OutOfMemory);
    const TMessage other = MessageOf(std::runtime_error("plain"));
    EXPECT_EQ(other.Id, TMessageId::Text);
    EXPECT_EQ(GermanText(other), "plain");
}
