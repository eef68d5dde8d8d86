#include "help/page_request.h"

#include "help/html_text.h"

#include <cctype>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Percent-decodes a path; false on a broken escape.
bool PercentDecoded(const std::string& in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        if (i + 2 >= in.size()) return false;
        const int hi = HexValue(in[i + 1]), lo = HexValue(in[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += char(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

TPageRequest ParsePageRequest(const std::string& head) {
    TPageRequest r;
    size_t lineEnd = head.find('\n');
    std::string line = head.substr(0, lineEnd);
    if (!line.empty() && line.back() == '\r') line.pop_back();

    // "METHOD SP TARGET SP VERSION", single spaces, nothing else.
    const size_t sp1 = line.find(' ');
    const size_t sp2 = sp1 == std::string::npos ? std::string::npos : line.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos ||
        line.find(' ', sp2 + 1) != std::string::npos)
        return r;
    const std::string method = line.substr(0, sp1);
    const std::string target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string version = line.substr(sp2 + 1);
    if (method.empty() || target.empty() || version.rfind("HTTP/", 0) != 0) return r;
    if (version != "HTTP/1.0" && version != "HTTP/1.1") {
        r.Status = 505;
        return r;
    }
    if (method != "GET" && method != "HEAD") {
        r.Status = 405;
        return r;
    }
    r.HeadOnly = method == "HEAD";
    if (target[0] != '/') return r; // absolute or asterisk forms: not for a page server

    const std::string path = target.substr(0, target.find_first_of("?#"));
    std::string name;
    if (!PercentDecoded(path.substr(1), name)) return r;
    if (name.empty()) name = kIndexPageName;
    if (name[0] == '.' || name.find_first_of(std::string("/\\\0", 3)) != std::string::npos) {
        r.Status = 403;
        return r;
    }
    r.Status = 200;
    r.FileName = name;
    return r;
}

const char* StatusReason(int32_t status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Error";
    }
}

std::string ContentTypeOf(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    const std::string ext =
        dot == std::string::npos ? std::string() : Lower(fileName.substr(dot + 1));
    if (ext == "htm" || ext == "html") return "text/html; charset=utf-8";
    if (ext == "css") return "text/css; charset=utf-8";
    if (ext == "txt") return "text/plain; charset=utf-8";
    if (ext == "png") return "image/png";
    if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
    if (ext == "gif") return "image/gif";
    return "application/octet-stream";
}

std::string StatusPage(int32_t status, const std::string& what) {
    const std::string title = std::to_string(status) + " " + StatusReason(status);
    std::string text;
    switch (status) {
    case 404:
        text = "The help page " + HtmlText(what) + " is not on this help server.";
        break;
    case 403:
        text = "The address " + HtmlText(what) + " is outside the help pages.";
        break;
    default:
        text = "The help server cannot answer this request.";
        break;
    }
    return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n"
           "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
           "<title>" +
           title + "</title></head>\n<body>\n<h2>" + title + "</h2>\n<p>" + text +
           "</p>\n<p><a href=\"/index.htm\">Help index</a></p>\n</body></html>\n";
}
