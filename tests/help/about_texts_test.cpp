// The licence and version texts of the about and version-information windows.
#include "help/about_texts.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The items of the list that follows the line `caption`, up to the next blank line.
std::vector<std::string> ListAfter(const std::vector<std::string>& lines,
                                   const std::string& caption) {
    std::vector<std::string> items;
    size_t i = 0;
    while (i < lines.size() && lines[i] != caption) ++i;
    for (++i; i < lines.size() && !lines[i].empty(); ++i) items.push_back(lines[i]);
    return items;
}

void ExpectFramedHeading(const std::vector<std::string>& lines, const std::string& version) {
    ASSERT_GE(lines.size(), 3u);
    for (size_t i : {size_t(0), size_t(2)}) {
        EXPECT_FALSE(lines[i].empty());
        EXPECT_EQ(lines[i].find_first_not_of('='), std::string::npos) << lines[i];
        EXPECT_GE(lines[i].size(), lines[1].size());
    }
    EXPECT_NE(lines[1].find("Pixmend"), std::string::npos);
    EXPECT_NE(lines[1].find("Version " + version), std::string::npos);
}

bool Contains(const std::vector<std::string>& items, const std::string& part) {
    for (const auto& s : items)
        if (s.find(part) != std::string::npos) return true;
    return false;
}

} // namespace

TEST(AboutTexts, VersionTextsHaveAFramedHeadingAndTwoPlusLists) {
    const auto de = Lines(VersionTextGerman());
    const auto en = Lines(VersionTextEnglish());
    ExpectFramedHeading(de, "1.0");
    ExpectFramedHeading(en, "1.2");

    const auto deLatest = ListAfter(de, "Neueste Änderungen:");
    const auto deFurther = ListAfter(de, "Weitere Änderungen:");
    const auto enLatest = ListAfter(en, "Latest changes:");
    const auto enFurther = ListAfter(en, "Further changes:");
    for (const auto* list : {&deLatest, &deFurther, &enLatest, &enFurther}) {
        EXPECT_FALSE(list->empty());
        for (const auto& item : *list) EXPECT_EQ(item.rfind("+ ", 0), 0u) << item;
    }
    EXPECT_EQ(deLatest.size(), 3u);
    EXPECT_EQ(enLatest.size(), 4u); // English adds the spectral resize
    EXPECT_TRUE(Contains(deLatest, "elliptische"));
    EXPECT_TRUE(Contains(deLatest, "verschieben"));
    EXPECT_TRUE(Contains(deLatest, "Schließen, Beenden und Versionsinfo"));
    EXPECT_FALSE(Contains(deLatest, "resize"));
    EXPECT_TRUE(Contains(enLatest, "elliptic"));
    EXPECT_TRUE(Contains(enLatest, "moved"));
    EXPECT_TRUE(Contains(enLatest, "Close, Quit and Version info"));
    EXPECT_TRUE(Contains(enLatest, "spectral resize"));
    EXPECT_EQ(deFurther.size(), 2u);
    EXPECT_EQ(enFurther.size(), 2u);
    EXPECT_TRUE(Contains(deFurther, "Tastenkürzel"));
    EXPECT_TRUE(Contains(deFurther, "Batchläufe"));
    EXPECT_TRUE(Contains(enFurther, "keyboard shortcuts"));
    EXPECT_TRUE(Contains(enFurther, "batch runs"));
}

TEST(AboutTexts, EnglishLicenceIsHeadingAndNoteAboveTheGermanTerms) {
    const std::string& de = LicenceTextGerman();
    const std::string& en = LicenceTextEnglish();
    ASSERT_GT(en.size(), de.size());
    const std::string head = en.substr(0, en.size() - de.size());
    EXPECT_EQ(en.substr(head.size()), de); // the German terms, unchanged, at the end
    EXPECT_EQ(head.rfind("Licence terms of Pixmend", 0), 0u);
    EXPECT_NE(head.find("only the German"), std::string::npos);
    EXPECT_EQ(de.rfind("Lizenzbedingungen für Pixmend", 0), 0u);
    EXPECT_EQ(de.find("Licence"), std::string::npos); // no English note in the German text
    EXPECT_EQ(de.find('\r'), std::string::npos);
}

TEST(AboutTexts, LanguageOneIsGermanEverythingElseEnglish) {
    EXPECT_EQ(&LicenceText(1), &LicenceTextGerman());
    EXPECT_EQ(&VersionText(1), &VersionTextGerman());
    for (int32_t language : {2, 0, 3, -1}) {
        EXPECT_EQ(&LicenceText(language), &LicenceTextEnglish()) << language;
        EXPECT_EQ(&VersionText(language), &VersionTextEnglish()) << language;
    }
}

TEST(AboutPicture, IsAPngOf665By362) {
    const auto png = ReadFileBytes(std::string(PIXMEND_SOURCE_DIR) + "/help/about.png");
    ASSERT_GT(png.size(), 24u);
    const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    EXPECT_TRUE(std::equal(signature, signature + 8, png.begin()));
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    const auto be32 = [&](size_t at) {
        return uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 |
               png[at + 3];
    };
    EXPECT_EQ(be32(16), 665u);
    EXPECT_EQ(be32(20), 362u);
}
