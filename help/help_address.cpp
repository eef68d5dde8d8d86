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

std::string EffectiveHelpBase(const std::optional<std::string>& configured,
                              const std::string& fallback) {
    const std::string base = configured ? Trimmed(*configured) : std::string();
    if (base.empty()) return fallback;
    return base.back() == '/' ? base : base + "/";
}

bool HelpBaseIsOnThisMachine(const std::string& base) {
    const size_t schemeEnd = base.find("://");
    if (schemeEnd == std::string::npos) return false;
    std::string scheme = base.substr(0, schemeEnd);
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (scheme == "file") return true;
    // The authority: up to the path, without user information and port.
    std::string host = base.substr(schemeEnd + 3);
    host = host.substr(0, host.find_first_of("/?#"));
    if (const size_t at = host.rfind('@'); at != std::string::npos) host = host.substr(at + 1);
    if (!host.empty() && host.front() == '[') {
        host = host.substr(1, host.find(']') - 1);
    } else {
        host = host.substr(0, host.find(':'));
    }
    for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (host == "localhost" || host == "::1") return true;
    // 127.0.0.0/8: four decimal parts, the first 127.
    int parts = 0;
    size_t pos = 0;
    while (pos <= host.size()) {
        const size_t dot = std::min(host.find('.', pos), host.size());
        const std::string part = host.substr(pos, dot - pos);
        if (part.empty() || part.size() > 3 ||
            !std::all_of(part.begin(), part.end(),
                         [](unsigned char c) { return std::isdigit(c); }) ||
            std::stoi(part) > 255)
            return false;
        if (parts == 0 && part != "127") return false;
        ++parts;
        pos = dot + 1;
    }
    return parts == 4;
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
