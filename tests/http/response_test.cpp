#include "http/response.h"

#include <gtest/gtest.h>

namespace quorvane::http {
namespace {

TEST(RenderHead, OwnFieldsInTheirOrderWithTheLengthStatedFromTheBody) {
    Response found(Status::kFound);
    found.fields.Add("Location", "http://example.org/");
    found.fields.Add("Content-Type", "text/html");
    found.LengthHere();
    found.fields.Add("ETag", "\"x\"");
    found.body = std::string("twelve bytes");
    EXPECT_EQ(RenderHead(found, "D", "keep-alive"),
              "HTTP/1.1 302 Found\r\nServer: Quorvane2000\r\nDate: D\r\n"
              "Location: http://example.org/\r\nContent-Type: text/html\r\n"
              "Content-Length: 12\r\nETag: \"x\"\r\nConnection: keep-alive\r\n\r\n");
    // A kept HTTP/1.1 connection says nothing of itself.
    EXPECT_EQ(RenderHead(found, "D", "").find("Connection"), std::string::npos);
}

TEST(RenderHead, TheLengthFollowsTheBodyWhateverItsKind) {
    const auto lengthOf = [](Response response) {
        const std::string head = RenderHead(response, "D", "");
        const size_t at = head.find("Content-Length: ");
        return at == std::string::npos ? std::string("none")
                                       : head.substr(at + 16, head.find('\r', at) - at - 16);
    };
    Response text;
    text.body = std::string("abc");
    EXPECT_EQ(lengthOf(text), "3");
    Response shared;
    shared.body = std::make_shared<const std::string>("abcd");
    EXPECT_EQ(lengthOf(shared), "4");
    Response pieces;
    BodyPieces body;
    body.AddText("<");
    body.AddSlice(10, 100);
    pieces.body = FileBody{nullptr, body};
    EXPECT_EQ(lengthOf(pieces), "101");
    EXPECT_EQ(lengthOf(Response()), "0");
    // A script's status, its own reason, and no length where no body may follow.
    Response script(299, "Odd But Fine");
    EXPECT_EQ(RenderHead(script, "D", "").substr(0, 30), "HTTP/1.1 299 Odd But Fine\r\nSer");
    for (int code : {204, 304}) {
        Response bodyless(code, "");
        bodyless.LengthHere();
        bodyless.body = std::string("never sent");
        EXPECT_EQ(lengthOf(bodyless), "none") << code;
        EXPECT_FALSE(bodyless.AllowsBody()) << code;
    }
    // A script's whole message has no head of ours.
    Response raw;
    raw.body = RawMessage{"HTTP/1.0 200 OK\r\n\r\nraw"};
    EXPECT_EQ(RenderHead(raw, "D", "close"), "");
}

// A body made while it is sent has no length to state: it is chunked, or
// (to an HTTP/1.0 client) ended by the close.
TEST(RenderHead, AStreamedBodyIsChunkedOrEndsWithTheConnection) {
    struct Nothing : StreamedBody {
        std::string_view Next() override { return {}; }
        bool Failed() const override { return false; }
    };
    Response zip;
    zip.LengthHere();
    zip.body = std::make_shared<Nothing>();
    const std::string chunked = RenderHead(zip, "D", "", true);
    EXPECT_NE(chunked.find("\r\nTransfer-Encoding: chunked\r\n"), std::string::npos);
    const std::string closed = RenderHead(zip, "D", "close", false);
    for (const std::string& head : {chunked, closed}) {
        EXPECT_EQ(head.find("Content-Length"), std::string::npos) << head;
    }
    EXPECT_EQ(closed.find("Transfer-Encoding"), std::string::npos);
}

}  // namespace
}  // namespace quorvane::http
