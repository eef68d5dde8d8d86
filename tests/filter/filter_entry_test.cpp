// Filter lines: the written format character for character, the reading
// rules, and lines that are damaged or hostile.
#include "filter/filter_entry.h"
#include "spectral/errors.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <random>

namespace {

struct TReadCase {
    const char* line;
    int32_t typ;
    float x1, x2, y1, y2;
};

void ExpectEntry(const TFilterEntry& e, const TReadCase& c) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(e.typ, c.typ);
    EXPECT_EQ(FloatBits(e.x1), FloatBits(c.x1));
    EXPECT_EQ(FloatBits(e.x2), FloatBits(c.x2));
    EXPECT_EQ(FloatBits(e.y1), FloatBits(c.y1));
    EXPECT_EQ(FloatBits(e.y2), FloatBits(c.y2));
}

// The fraction that reading "v" gives: v as a float, divided by 100 in float.
float Read(float v) {
    return v / 100.0f;
}

TEST(FilterEntryFormat, ExampleLinesCharacterForCharacter) {
    EXPECT_EQ(FormatEntryLine(0, 0.125f, 0.175f, 0.083333336f, 0.11666667f).value(),
              "typ=rec,x1=12.50000,x2=17.50000,y1=8.33333,y2=11.66667");
    EXPECT_EQ(FormatEntryLine(0, 0.083333336f, 0.11666667f, 0.125f, 0.175f).value(),
              "typ=rec,x1=8.33333,x2=11.66667,y1=12.50000,y2=17.50000");
    EXPECT_EQ(FormatEntryLine(100, 50.0f, 0, 0, 0).value(),
              "typ=resize100,x1=5000.00000,x2=0.00000,y1=0.00000,y2=0.00000");
    EXPECT_EQ(FormatEntryLine(1, -0.01f, 0.0f, 1.0f, 0.5f).value(),
              "typ=ell,x1=-1.00000,x2=0.00000,y1=100.00000,y2=50.00000");
    EXPECT_EQ(FormatEntryLine(104, 1234.0f, 0, 0, 0).value(),
              "typ=resize104,x1=123400.00000,x2=0.00000,y1=0.00000,y2=0.00000");
    // Negative zero has no minus sign.
    EXPECT_EQ(FormatEntryLine(0, -0.0f, 0, 0, 0).value(),
              "typ=rec,x1=0.00000,x2=0.00000,y1=0.00000,y2=0.00000");
}

TEST(FilterEntryFormat, KindsWithoutALineWriteNothing) {
    for (int32_t typ : {-1, 2, 7, 99, 105, 150, 200, 201, INT32_MIN, INT32_MAX})
        EXPECT_FALSE(FormatEntryLine(typ, 0.1f, 0.2f, 0.3f, 0.4f).has_value()) << typ;
    for (int32_t typ : {0, 1, 100, 101, 102, 103, 104})
        EXPECT_TRUE(FormatEntryLine(typ, 0.1f, 0.2f, 0.3f, 0.4f).has_value()) << typ;
}

TEST(FilterEntryFormat, DecimalPointIsAPointInEveryLocale) {
    // A locale with a decimal comma, where one is installed; the C locale
    // otherwise, which still checks the result.
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_ALL, name)) break;
    const auto line = FormatEntryLine(1, 0.125f, 0.5f, 0.25f, 0.75f).value();
    const TFilterEntry e = ParseEntryLine("typ=ell,x1=12.5,x2=1.5e1");
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(line, "typ=ell,x1=12.50000,x2=50.00000,y1=25.00000,y2=75.00000");
    EXPECT_EQ(e.x1, Read(12.5f));
    EXPECT_EQ(e.x2, Read(15.0f));
}

TEST(FilterEntryFormat, WrittenLinesReadBackToTheSameFloats) {
    // Five decimals of a percentage resolve 1e-7 of the size: a written line
    // reads back within that, and exactly for fractions of small sizes.
    std::mt19937 gen(7);
    for (int i = 0; i < 2000; ++i) {
        const int32_t W = 1 + int32_t(gen() % 4000), L = int32_t(gen() % 5000) - 500;
        const float f = float(double(L) / double(W));
        const TFilterEntry e = ParseEntryLine(FormatEntryLine(0, f, f, f, f).value());
        ASSERT_EQ(e.typ, 0);
        EXPECT_NEAR(e.x1, f, 1e-7 + std::fabs(f) * 1e-6) << L << "/" << W;
        // The cell bound the smoothing derives from it is the same.
        EXPECT_EQ(std::nearbyint(double(W) * e.x1), std::nearbyint(double(W) * f)) << L << "/" << W;
    }
}

TEST(FilterEntryRead, ExampleTable) {
    const TReadCase cases[] = {
        {"typ=rec,x1=10,x2=20,y1=10,y2=20", 0, Read(10), Read(20), Read(10), Read(20)},
        {"x2=20,y2=20,typ=ell,x1=10,y1=10", 1, Read(10), Read(20), Read(10), Read(20)},
        {"Typ=rec,X1=10", 0, Read(10), 0, 0, 0},
        {"typ=REC,x1=10", -1, Read(10), 0, 0, 0},
        {"typ=resize1000,x1=5000", 100, 50.0f, 0, 0, 0},
        {"typ=resize7", 7, 0, 0, 0, 0},
        {"typ = rec, x1 = 10", -1, 0, 0, 0, 0},
        {"", -1, 0, 0, 0, 0},
    };
    for (const auto& c : cases) ExpectEntry(ParseEntryLine(c.line), c);
    EXPECT_FLOAT_EQ(ParseEntryLine("typ=rec,x1=10").x1, 0.1f);
}

TEST(FilterEntryRead, ItemSplitting) {
    const TReadCase cases[] = {
        // Blanks and control characters split items and are never part of one.
        {"  typ=rec ,\tx1=10 \x01 x2=20,,,y1=30", 0, Read(10), Read(20), Read(30), 0},
        {"typ=rec x1=10", 0, Read(10), 0, 0, 0},
        // Quoted items keep their blanks; "" stands for one quote.
        {"\"typ=ell\",\"x1=1 5\"", 1, Read(1), 0, 0, 0},
        {"\"typ=r\"\"ec\",x1=3", -1, Read(3), 0, 0, 0},
        {"\"typ=rec", 0, 0, 0, 0, 0}, // an unclosed quote runs to the end
        // The first item with the key wins; items with other keys are ignored.
        {"typ=rec,x1=1,x1=2,foo=bar,=7,x1", 0, Read(1), 0, 0, 0},
        {"x1,typ=ell", 1, 0, 0, 0, 0},
        // The value is everything after the first "=".
        {"typ=rec,x1==5", 0, 0, 0, 0, 0},
        // Kind words are exact; "resize" takes the next three characters.
        {"typ=rect", -1, 0, 0, 0, 0},
        {"typ=resize102abc,x1=800", 102, 8.0f, 0, 0, 0},
        {"typ=resize-1", -1, 0, 0, 0, 0},
        {"typ=resize+4", 4, 0, 0, 0, 0},
        {"typ=resize999", 999, 0, 0, 0, 0},
        {"typ=resize007", 7, 0, 0, 0, 0},
        {"TYP=ell,Y2=4", 1, 0, 0, 0, Read(4)},
    };
    for (const auto& c : cases) ExpectEntry(ParseEntryLine(c.line), c);
}

TEST(FilterEntryRead, Numbers) {
    const auto x1 = [](const char* v) { return ParseEntryLine(std::string("typ=rec,x1=") + v).x1; };
    EXPECT_EQ(x1("12.5"), Read(12.5f));
    EXPECT_EQ(x1("+12.5"), Read(12.5f));
    EXPECT_EQ(x1("-7"), Read(-7.0f));
    EXPECT_EQ(x1(".5"), Read(0.5f));
    EXPECT_EQ(x1("5."), Read(5.0f));
    EXPECT_EQ(x1("1e2"), Read(100.0f));
    EXPECT_EQ(x1("1E-2"), Read(0.01f));
    EXPECT_EQ(x1("8.33333"), Read(8.33333f));
    // A number followed by other characters reads as its number.
    EXPECT_EQ(x1("12abc"), Read(12.0f));
    EXPECT_EQ(x1("12e"), Read(12.0f));
    EXPECT_EQ(x1("3.5.6"), Read(3.5f));
    // Nothing that is a number reads as 0.
    for (const char* v : {"", "abc", "nan", "NaN", "inf", "-", ".", "e5"})
        EXPECT_EQ(FloatBits(x1(v)), FloatBits(0.0f)) << v;
    EXPECT_EQ(x1("0x10"), 0.0f); // hexadecimal is not read
    // Negative zero stays a zero.
    EXPECT_EQ(x1("-0"), 0.0f);
    EXPECT_TRUE(std::signbit(x1("-0")));
    // Out of range: infinity or zero, never undefined.
    EXPECT_TRUE(std::isinf(x1("1e999")) && x1("1e999") > 0);
    EXPECT_TRUE(std::isinf(x1("-1e999")) && x1("-1e999") < 0);
    EXPECT_EQ(x1("1e-999"), 0.0f);
    EXPECT_TRUE(std::isinf(x1("1e39"))); // beyond float, within double
    // A thousand digits.
    EXPECT_EQ(x1(("1" + std::string(1000, '0')).c_str()), INFINITY);
    EXPECT_EQ(x1(("0." + std::string(1000, '0') + "1").c_str()), 0.0f);
}

TEST(FilterEntryRead, BadResizeKindIsAConversionError) {
    const std::pair<const char*, const char*> cases[] = {
        {"typ=resize", "'' ist kein gültiger Integerwert"},
        {"typ=resizeabc,x1=5", "'abc' ist kein gültiger Integerwert"},
        {"typ=resize1a", "'1a' ist kein gültiger Integerwert"},
        {"typ=resize-", "'-' ist kein gültiger Integerwert"},
        {"\"typ=resize 10\"", "' 10' ist kein gültiger Integerwert"},
    };
    for (const auto& [line, message] : cases) {
        try {
            ParseEntryLine(line);
            ADD_FAILURE() << line << " was read";
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), message) << line;
        }
    }
}

TEST(FilterEntryRead, HostileLinesNeverCrash) {
    // 100000 commas, a long run of quotes, every byte value, random bytes.
    EXPECT_EQ(ParseEntryLine(std::string(100000, ',')).typ, -1);
    EXPECT_EQ(ParseEntryLine(std::string(100001, '"')).typ, -1);
    EXPECT_EQ(ParseEntryLine("typ=rec," + std::string(100000, ',') + "x1=5").x1, Read(5));
    std::string all;
    for (int b = 0; b < 256; ++b) all += char(b);
    EXPECT_NO_THROW(ParseEntryLine(all));
    std::mt19937 gen(42);
    for (int i = 0; i < 300; ++i) {
        std::string line(gen() % 200, '\0');
        for (auto& ch : line) ch = "typ=reclsiz0123456789.,\"eE+- \t\x80"[gen() % 32];
        try {
            ParseEntryLine(line);
        } catch (const EConvertError&) {
        }
    }
    // A NUL ends the text.
    const TFilterEntry e = ParseEntryLine(std::string("typ=rec,x1=5\0,x2=7", 18));
    EXPECT_EQ(e.x1, Read(5));
    EXPECT_EQ(e.x2, 0.0f);
}

} // namespace
