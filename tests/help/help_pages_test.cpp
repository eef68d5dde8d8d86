// The bundled help pages: one per topic and language, well-formed simple
// HTML in UTF-8, every link leading to a page that exists.
#include "help/help_address.h"
#include "help/help_topics.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kPages = fs::path(PIXMEND_SOURCE_DIR) / "help" / "pages";

std::string ReadPage(const fs::path& p) {
    const auto bytes = ReadFileBytes(p.string());
    return std::string(bytes.begin(), bytes.end());
}

bool ValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80           ? 0
                   : (c >> 5) == 0x6  ? 1
                   : (c >> 4) == 0xe  ? 2
                   : (c >> 3) == 0x1e ? 3
                                      : 9;
        if (n == 9 || (n == 1 && c < 0xc2) || (n > 0 && i + n >= s.size())) return false;
        for (size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

// Checks that every element is closed in order (void elements aside) and
// returns the first complaint, or an empty text.
std::string TagNestingFault(const std::string& page) {
    static const std::set<std::string> kVoid{"meta", "br", "hr", "img", "link", "input"};
    std::vector<std::string> open;
    const std::regex tag(R"(<(/?)([a-zA-Z][a-zA-Z0-9]*)[^>]*>)");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), tag);
         it != std::sregex_iterator(); ++it) {
        const bool closing = (*it)[1].length() > 0;
        const std::string name = (*it)[2];
        if (kVoid.count(name)) continue;
        if (!closing) {
            open.push_back(name);
        } else if (open.empty() || open.back() != name) {
            return "</" + name + "> closes " +
                   (open.empty() ? std::string("nothing") : "<" + open.back() + ">");
        } else {
            open.pop_back();
        }
    }
    return open.empty() ? std::string() : "<" + open.back() + "> is never closed";
}

std::string IndexPage(int32_t language) {
    return "pixmend_help_index_" + std::to_string(language) + ".htm";
}

} // namespace

TEST(HelpPages, EveryTopicHasAGermanAndAnEnglishPage) {
    for (int32_t topic : HelpPageTopics())
        for (int32_t language : {1, 2}) {
            const fs::path page = kPages / HelpPageName(topic, language);
            EXPECT_TRUE(fs::is_regular_file(page)) << page;
        }
}

TEST(HelpPages, TheFolderHoldsOnlyTopicPagesAndIndexes) {
    std::set<std::string> expected{"index.htm", IndexPage(1), IndexPage(2)};
    for (int32_t topic : HelpPageTopics())
        for (int32_t language : {1, 2}) expected.insert(HelpPageName(topic, language));
    std::set<std::string> present;
    for (const auto& entry : fs::directory_iterator(kPages))
        present.insert(entry.path().filename().string());
    EXPECT_EQ(present, expected);
}

TEST(HelpPages, PagesAreWellFormedAndLinked) {
    const std::regex href(R"(href="([^"]*)\")");
    size_t pages = 0;
    for (const auto& entry : fs::directory_iterator(kPages)) {
        const std::string name = entry.path().filename().string();
        const std::string page = ReadPage(entry.path());
        ++pages;
        SCOPED_TRACE(name);
        EXPECT_EQ(page.rfind("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\"", 0), 0u);
        EXPECT_NE(
            page.find("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"),
            std::string::npos);
        EXPECT_TRUE(ValidUtf8(page));
        EXPECT_EQ(page.find('\r'), std::string::npos);
        EXPECT_EQ(TagNestingFault(page), "");
        std::smatch title;
        ASSERT_TRUE(std::regex_search(page, title, std::regex("<title>([^<]+)</title>")));
        EXPECT_NE(title[1].str().find("Pixmend"), std::string::npos);
        EXPECT_NE(page.find("<h1>"), std::string::npos);

        std::set<std::string> targets;
        for (auto it = std::sregex_iterator(page.begin(), page.end(), href);
             it != std::sregex_iterator(); ++it)
            targets.insert((*it)[1]);
        EXPECT_FALSE(targets.empty());
        for (const std::string& target : targets) {
            EXPECT_EQ(target.find_first_of("/:\\"), std::string::npos)
                << target; // relative, same folder
            EXPECT_TRUE(fs::is_regular_file(kPages / target)) << target;
        }

        // Topic pages carry their language and lead to their index and to
        // the same topic in the other language.
        std::smatch parts;
        if (std::regex_match(name, parts, std::regex(R"(pixmend_help_(\d+)_([12])\.htm)"))) {
            const int32_t topic = std::stoi(parts[1]);
            const int32_t language = std::stoi(parts[2]);
            EXPECT_NE(page.find(language == 1 ? "<html lang=\"de\">" : "<html lang=\"en\">"),
                      std::string::npos);
            EXPECT_TRUE(targets.count(IndexPage(language)));
            EXPECT_TRUE(targets.count(HelpPageName(topic, 3 - language)));
        }
    }
    EXPECT_EQ(pages, HelpPageTopics().size() * 2 + 3);
}

TEST(HelpPages, EachIndexLinksEveryTopicOfItsLanguage) {
    for (int32_t language : {1, 2}) {
        const std::string index = ReadPage(kPages / IndexPage(language));
        for (int32_t topic : HelpPageTopics())
            EXPECT_NE(index.find("href=\"" + HelpPageName(topic, language) + "\""),
                      std::string::npos)
                << language << " " << topic;
    }
    const std::string root = ReadPage(kPages / "index.htm");
    EXPECT_NE(root.find("href=\"" + IndexPage(1) + "\""), std::string::npos);
    EXPECT_NE(root.find("href=\"" + IndexPage(2) + "\""), std::string::npos);
}

TEST(HelpPages, TheNestingCheckFindsFaults) {
    EXPECT_EQ(TagNestingFault("<p><b>x</b></p><br>"), "");
    EXPECT_NE(TagNestingFault("<p><b>x</p></b>"), "");
    EXPECT_NE(TagNestingFault("<ul><li>x</ul>"), "");
    EXPECT_FALSE(ValidUtf8("\xC3"));
    EXPECT_FALSE(ValidUtf8("a\xC3("));
    EXPECT_TRUE(ValidUtf8("Gl\xC3\xA4ttung \xE2\x80\x93 ok"));
}
