// The filter list and the filter file: lines survive a load and a save
// verbatim, line ends are CR, LF or CR LF, and bad files lose nothing.
#include "filter/filter_list.h"
#include "spectral/errors.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

TEST(FilterList, AppendCountGetDelete) {
    TFilterList list;
    EXPECT_EQ(list.EntryCount(), 0u);
    list.DeleteLastEntry(); // nothing to delete
    EXPECT_TRUE(list.AppendEntry(kFilterRectangle, 0.125f, 0.175f, 0.083333336f, 0.11666667f));
    EXPECT_TRUE(list.AppendEntry(kFilterResizeBase + 2, 400.0f, 0, 0, 0));
    EXPECT_FALSE(list.AppendEntry(2, 0.1f, 0.2f, 0.3f, 0.4f));
    EXPECT_FALSE(list.AppendEntry(kFilterResizeLast + 1, 1, 0, 0, 0));
    ASSERT_EQ(list.EntryCount(), 2u);
    EXPECT_EQ(list.Line(0), "typ=rec,x1=12.50000,x2=17.50000,y1=8.33333,y2=11.66667");
    const TFilterEntry e = list.GetEntry(1);
    EXPECT_EQ(e.typ, 102);
    EXPECT_EQ(e.x1, 400.0f);
    EXPECT_THROW(list.GetEntry(2), Exception);

    list.AppendLine("typ=ell,x1=1");
    list.DeleteEntry(1);
    ASSERT_EQ(list.EntryCount(), 2u);
    EXPECT_EQ(list.GetEntry(1).typ, 1);
    list.DeleteEntry(5); // no such line
    EXPECT_EQ(list.EntryCount(), 2u);
    list.DeleteLastEntry();
    ASSERT_EQ(list.EntryCount(), 1u);
    EXPECT_EQ(list.GetEntry(0).typ, 0);
}

TEST(FilterFile, MixedLineEndsLoadAsFourLinesAndSaveWithCrLf) {
    TTempDir dir;
    WriteFileBytes(dir.File("a.flt"), Bytes("a\rb\nc\r\nd"));
    TFilterList list;
    list.LoadFilterFile(dir.File("a.flt"));
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"a", "b", "c", "d"}));
    list.SaveFilterFile(dir.File("b.flt"));
    EXPECT_EQ(ReadFileBytes(dir.File("b.flt")), Bytes("a\r\nb\r\nc\r\nd\r\n"));
}

TEST(FilterFile, LineSplittingRules) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"", {}},
        {"\r\n", {""}},
        {"\n\n", {"", ""}},
        {"\r\r\n\n", {"", "", ""}},
        {"x\n", {"x"}},
        {"x", {"x"}},
        {std::string("a\nb\0c\nd", 7), {"a", "b"}}, // a NUL ends the text
        {std::string("\0abc", 4), {}},
        {"  typ = rec ,\t\"q\"\n", {"  typ = rec ,\t\"q\""}}, // verbatim
    };
    for (const auto& [text, lines] : cases) EXPECT_EQ(SplitFilterText(text, "f"), lines) << text;
}

TEST(FilterFile, LinesSurviveLoadAndSaveVerbatim) {
    TTempDir dir;
    const std::string text = "typ=rec,x1=12.50000,x2=17.50000,y1=8.33333,y2=11.66667\r\n"
                             "  Typ=ell , X1=10,comment=\"hello, world\"\r\n"
                             "\r\n"
                             "garbage \x01\x7f\xe4\xfc\r\n"
                             "typ=resize100,x1=5000.00000,x2=0.00000,y1=0.00000,y2=0.00000\r\n";
    WriteFileBytes(dir.File("in.flt"), Bytes(text));
    TFilterList list;
    list.LoadFilterFile(dir.File("in.flt"));
    EXPECT_EQ(list.EntryCount(), 5u);
    list.SaveFilterFile(dir.File("out.flt"));
    EXPECT_EQ(ReadFileBytes(dir.File("out.flt")), Bytes(text));
    // An empty list gives an empty file.
    TFilterList empty;
    empty.SaveFilterFile(dir.File("out.flt"));
    EXPECT_TRUE(ReadFileBytes(dir.File("out.flt")).empty());
}

TEST(FilterFile, FailedLoadKeepsTheList) {
    TTempDir dir;
    TFilterList list;
    list.AppendEntry(kFilterEllipse, 0.1f, 0.2f, 0.3f, 0.4f);
    const std::string missing = dir.File("missing.flt");
    try {
        list.LoadFilterFile(missing);
        ADD_FAILURE() << "loaded a missing file";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Datei " + missing + " kann nicht geöffnet werden");
    }
    EXPECT_THROW(list.LoadFilterFile(dir.Path().string()), EFileError); // a folder
    // Too large: refused with its own message before it is read.
    const std::string big = dir.File("big.flt");
    {
        std::ofstream out(big, std::ios::binary);
        out.seekp(std::streamoff(kMaxFilterFileBytes));
        out.put('\n');
    }
    try {
        list.LoadFilterFile(big);
        ADD_FAILURE() << "loaded an oversized file";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Datei " + big + " ist zu groß für eine Filterdatei");
    }
    EXPECT_THROW(SplitFilterText(std::string(11, '\n'), big, 10), EFileError);
    EXPECT_THROW(SplitFilterText(std::string(10, '\n') + "x", big, 10), EFileError);
    EXPECT_EQ(SplitFilterText(std::string(10, '\n'), big, 10).size(), 10u);
    ASSERT_EQ(list.EntryCount(), 1u);
    EXPECT_EQ(list.GetEntry(0).typ, 1);
}

TEST(FilterFile, FailedSaveKeepsTheOldFile) {
    TTempDir dir;
    TFilterList list;
    list.AppendEntry(kFilterRectangle, 0.1f, 0.2f, 0.3f, 0.4f);
    const std::string target = dir.File("sub/none.flt");
    try {
        list.SaveFilterFile(target);
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Datei " + target + " kann nicht erstellt werden");
    }
    if (::geteuid() != 0) { // root writes anywhere
        const std::string kept = dir.File("kept.flt");
        WriteFileBytes(kept, Bytes("old\r\n"));
        ::chmod(dir.Path().c_str(), 0500);
        EXPECT_THROW(list.SaveFilterFile(kept), EFileError);
        ::chmod(dir.Path().c_str(), 0700);
        EXPECT_EQ(ReadFileBytes(kept), Bytes("old\r\n"));
    }
}

TEST(FilterFile, LargeAndRandomFilesLoad) {
    TTempDir dir;
    // Random bytes: whatever they hold loads or is refused naming its line,
    // and every line of a loaded file reads or fails with the conversion error.
    std::mt19937 gen(3);
    for (int round = 0; round < 20; ++round) {
        std::vector<uint8_t> bytes(1000 + gen() % 5000);
        for (auto& b : bytes) b = uint8_t(gen() % 7 ? 1 + gen() % 255 : gen() % 256);
        WriteFileBytes(dir.File("r.flt"), bytes);
        TFilterList list;
        try {
            list.LoadFilterFile(dir.File("r.flt"));
        } catch (const EFilterLineError& e) {
            EXPECT_GE(e.Line(), 1u);
            EXPECT_TRUE(list.Empty());
        }
        for (size_t i = 0; i < list.EntryCount(); ++i) {
            try {
                list.GetEntry(i);
            } catch (const EConvertError&) {
            }
        }
    }
    // 50 MB of real lines.
    const std::string line = "typ=ell,x1=12.50000,x2=17.50000,y1=8.33333,y2=11.66667\r\n";
    std::string text;
    while (text.size() < 50u << 20) text += line;
    WriteFileBytes(dir.File("big.flt"), Bytes(text));
    TFilterList list;
    list.LoadFilterFile(dir.File("big.flt"));
    EXPECT_EQ(list.EntryCount(), text.size() / line.size());
    EXPECT_EQ(list.GetEntry(list.EntryCount() - 1).typ, 1);
}

} // namespace

TEST(FilterList, EntriesThatCouldNeverBeAppliedAreRefusedWithTheReason) {
    TFilterList list;
    const float inf = std::numeric_limits<float>::infinity();
    for (const auto& [typ, x1, x2] :
         {std::tuple{0, inf, 0.5f}, std::tuple{1, 0.1f, 2.5f}, std::tuple{100, 2147483648.0f, 0.0f},
          std::tuple{102, 1.5f, 0.0f}})
        EXPECT_THROW(list.AppendEntry(typ, x1, x2, 0.0f, 0.0f), EConvertError) << typ << " " << x1;
    EXPECT_TRUE(list.Empty());
    EXPECT_TRUE(list.AppendEntry(1, -1.0f, 2.0f, 0.0f, 1.0f));
    EXPECT_TRUE(list.AppendEntry(100, -2147483520.0f, 0.0f, 0.0f, 0.0f));
}

TEST(FilterList, ValuesThatAreNoNumbersRefuseTheFileNamingItsLine) {
    TTempDir dir;
    const std::string good = "typ=rec,x1=12.50000,x2=17.50000,y1=-1.00000,y2=\r\n";
    const struct {
        std::string line;
        const char* english;
    } cases[] = {
        {"typ=rec,x1=abc", "'abc' is not a number (x1)"},
        {"typ=ell,x1=1,y2=nan", "'nan' is not a number (y2)"},
        {"typ=rec,x2=12abc", "the number 12 is followed by 'abc' (x2)"},
        {"typ=rec,x1=10,5", "'10,5' has a comma for the decimal point (x1; write 10.5)"},
        {"typ=band,x1=10,x2=20,y1=-5", "a band's strength is negative"},
        {"typ=notch,x1=1e99,x2=2,y1=1,y2=2", "a number is infinite"},
        {std::string("typ=rec,x1=5") + '\0' + ",x2=7\r\ntyp=ell",
         "the line holds a NUL byte with more text after it"},
    };
    for (const auto& c : cases) {
        const std::string text = good + c.line + "\r\n";
        WriteFileBytes(dir.File("bad.flt"), std::vector<uint8_t>(text.begin(), text.end()));
        TFilterList list;
        list.AppendLine("kept");
        try {
            list.LoadFilterFile(dir.File("bad.flt"));
            ADD_FAILURE() << c.english;
        } catch (const EFilterLineError& e) {
            EXPECT_EQ(e.Line(), 2u);
            EXPECT_EQ(e.English(), dir.File("bad.flt") + ", line 2: " + c.english);
            EXPECT_EQ(std::string(e.what()).rfind(
                          "Filterdatei " + dir.File("bad.flt") + ", Zeile 2: ", 0),
                      0u)
                << e.what();
        }
        EXPECT_EQ(list.Lines(), std::vector<std::string>{"kept"});
    }
    // What the program writes, empty and missing values, unknown keys and
    // blanks read as they always did; a byte-order mark is no part of a line.
    const std::string text =
        "\xef\xbb\xbf" + good + "typ = rec, x1 = 10\r\ntyp=resize100,x1=5000,q=z\r\n\r\n";
    WriteFileBytes(dir.File("ok.flt"), std::vector<uint8_t>(text.begin(), text.end()));
    TFilterList list;
    list.LoadFilterFile(dir.File("ok.flt"));
    ASSERT_EQ(list.EntryCount(), 4u);
    EXPECT_EQ(list.GetEntry(0).typ, kFilterRectangle);
    EXPECT_FLOAT_EQ(list.GetEntry(0).y1, -0.01f);
    // NUL bytes that only pad the end are no line.
    const std::string padded = good + std::string(3, '\0');
    WriteFileBytes(dir.File("padded.flt"), std::vector<uint8_t>(padded.begin(), padded.end()));
    list.LoadFilterFile(dir.File("padded.flt"));
    EXPECT_EQ(list.EntryCount(), 1u);
}
