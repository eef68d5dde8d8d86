#include "help/help_address.h"

#include "help/html_text.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Trimmed(const std::string& s) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    auto first = std::find_if_not(s.begin(), s.end(), blank);
    auto last = std::find_if_not(s.rbegin(), s.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

bool SameIgnoringCase(const std::string& a, const char* b) {
    const std::string lowerB(b);
    if (a.size() != lowerB.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(lowerB[i])))
            return false;
    return true;
}

// Text shown inside HTML: the characters that would start markup are escaped.

} // namespace

std::string HelpPageName(int32_t topic, int32_t language) {
    return "pixmend_help_" + std::to_string(topic) + "_" + std::to_string(language) + ".htm";
}

std::string HelpPageAddress(const std::string& base, int32_t topic, int32_t language) {
    return base + HelpPageName(topic, language);
}

std::string EffectiveHelpBase(const std::optional<std::string>& configured) {
    const std::string base = configured ? Trimmed(*configured) : std::string();
    if (base.empty()) return kDefaultHelpBase;
    return base.back() == '/' ? base : base + "/";
}

std::optional<std::string> HelpBaseFromSettingsText(const std::string& settingsText) {
    std::optional<std::string> found;
    bool inPrefs = false;
    size_t pos = 0;
    while (pos < settingsText.size()) {
        size_t end = settingsText.find('\n', pos);
        if (end == std::string::npos) end = settingsText.size();
        const std::string line = Trimmed(settingsText.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            inPrefs = close != std::string::npos &&
                      SameIgnoringCase(Trimmed(line.substr(1, close - 1)), "Prefs");
            continue;
        }
        const size_t eq = line.find('=');
        if (!inPrefs || eq == std::string::npos) continue;
        if (SameIgnoringCase(Trimmed(line.substr(0, eq)), "HelpBase"))
            found = Trimmed(line.substr(eq + 1));
    }
    return found;
}

std::string FailedLoadPage(const std::string& address, const std::string& reason) {
    return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n"
           "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
           "<title>Page not available</title></head>\n"
           "<body>\n<h2>Page not available</h2>\n"
           "<p>The page <b>" +
           HtmlText(address) +
           "</b> could not be loaded.</p>\n"
           "<p>" +
           HtmlText(reason) +
           "</p>\n"
           "</body></html>\n";
}
