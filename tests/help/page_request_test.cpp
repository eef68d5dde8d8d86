// The help server's reading of requests: what is served, what is refused.
#include "help/page_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
TPageRequest Get(const std::string& target, const std::string& version = "HTTP/1.1") {
    return ParsePageRequest("GET " + target + " " + version + "\r\nHost: 127.0.0.1\r\n\r\n");
}
} // namespace

TEST(PageRequest, ServesFilesDirectlyInTheFolder) {
    struct TCase {
        std::string Target, File;
    };
    const std::vector<TCase> cases{
        {"/pixmend_help_223575831_2.htm", "pixmend_help_223575831_2.htm"},
        {"/", "index.htm"},
        {"/?lang=2", "index.htm"},
        {"/index_1.htm#top", "index_1.htm"},
        {"/page.htm?x=../../etc", "page.htm"},
        {"/hilfe%20seite.htm", "hilfe seite.htm"},
        {"/a..b.htm", "a..b.htm"},
        {"/%C3%BCber.htm", "\xC3\xBC"
                           "ber.htm"},
    };
    for (const TCase& c : cases) {
        for (const char* version : {"HTTP/1.0", "HTTP/1.1"}) {
            const TPageRequest r = Get(c.Target, version);
            EXPECT_EQ(r.Status, 200) << c.Target;
            EXPECT_EQ(r.FileName, c.File) << c.Target;
            EXPECT_FALSE(r.HeadOnly);
        }
    }
    // A bare LF request from a simple client, and HEAD.
    EXPECT_EQ(ParsePageRequest("GET /a.htm HTTP/1.0\n\n").FileName, "a.htm");
    const TPageRequest head = ParsePageRequest("HEAD /a.htm HTTP/1.1\r\n\r\n");
    EXPECT_EQ(head.Status, 200);
    EXPECT_TRUE(head.HeadOnly);
}

TEST(PageRequest, RefusesEverythingThatCouldLeaveTheFolder) {
    for (const char* target :
         {"/..", "/../secret", "/../../etc/passwd", "/%2e%2e/secret", "/%2E%2E%2Fsecret",
          "/.hidden", "/sub/page.htm", "/sub%2fpage.htm", "/..%5c..%5cwin.ini", "/a%5cb",
          "/page.htm%00.png", "//etc/passwd", "/./index.htm"}) {
        const TPageRequest r = Get(target);
        EXPECT_EQ(r.Status, 403) << target;
        EXPECT_TRUE(r.FileName.empty()) << target;
    }
}

TEST(PageRequest, MalformedMethodsAndVersionsGetTheirStatus) {
    struct TCase {
        std::string Head;
        int32_t Status;
    };
    const std::vector<TCase> cases{
        {"", 400},
        {"\r\n\r\n", 400},
        {"GET\r\n\r\n", 400},
        {"GET /\r\n\r\n", 400},           // no version
        {"GET  / HTTP/1.1\r\n\r\n", 400}, // doubled blank
        {"GET / HTTP/1.1 extra\r\n\r\n", 400},
        {"GET index.htm HTTP/1.1\r\n\r\n", 400}, // not a path
        {"GET http://127.0.0.1/x HTTP/1.1\r\n\r\n", 400},
        {"GET * HTTP/1.1\r\n\r\n", 400},
        {"GET /%zz HTTP/1.1\r\n\r\n", 400}, // broken escapes
        {"GET /a%4 HTTP/1.1\r\n\r\n", 400},
        {"GET /a% HTTP/1.1\r\n\r\n", 400},
        {"GET / FTP/1.0\r\n\r\n", 400},
        {"GET / HTTP/2.0\r\n\r\n", 505},
        {"GET / HTTP/0.9\r\n\r\n", 505},
        {"POST /index.htm HTTP/1.1\r\n\r\n", 405},
        {"DELETE /index.htm HTTP/1.1\r\n\r\n", 405},
        {"get /index.htm HTTP/1.1\r\n\r\n", 405}, // methods are case-sensitive
    };
    for (const TCase& c : cases) {
        const TPageRequest r = ParsePageRequest(c.Head);
        EXPECT_EQ(r.Status, c.Status) << c.Head;
        EXPECT_TRUE(r.FileName.empty()) << c.Head;
    }
}

TEST(PageRequest, ContentTypesAndStatusPages) {
    EXPECT_EQ(ContentTypeOf("pixmend_help_1_1.htm"), "text/html; charset=utf-8");
    EXPECT_EQ(ContentTypeOf("INDEX.HTML"), "text/html; charset=utf-8");
    EXPECT_EQ(ContentTypeOf("about.png"), "image/png");
    EXPECT_EQ(ContentTypeOf("a.jpeg"), "image/jpeg");
    EXPECT_EQ(ContentTypeOf("noext"), "application/octet-stream");
    EXPECT_STREQ(StatusReason(404), "Not Found");
    EXPECT_STREQ(StatusReason(403), "Forbidden");
    const std::string page = StatusPage(404, "/x<y>.htm");
    EXPECT_NE(page.find("<title>404 Not Found</title>"), std::string::npos);
    EXPECT_NE(page.find("/x&lt;y&gt;.htm"), std::string::npos);
    EXPECT_EQ(page.find("<y>"), std::string::npos);
}
