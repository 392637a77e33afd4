// The HTTP client against a scripted server on 127.0.0.1: exact request bytes,
// the header scan, header look-up, failures (lookup, refused connect, silence)
// and replies that misbehave (huge, headerless, cut, trickled, oversized).
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cmath>
#include <cstring>

#include <string>
#include <vector>

#include "net/http.h"
#include "script_server.h"
#include "test_support.h"

namespace {

using nettest::poll_until;
using nettest::poll_until_over;
using nettest::ScriptServer;

std::string reply_of(const WebConn* c) { return std::string(c->reply.data, size_t(c->reply.length)); }
std::string body_of(const WebConn* c) { return std::string(c->body, size_t(c->body_len)); }
std::string header(const WebConn* c, const char* name) {
    char out[CONN_HEADER_VALUE];
    conn_header(c, name, out);
    return out;
}

using test::stderr_of;

// A connection that was never started anywhere: a numeric address, so no
// lookup, used to feed replies without a network.
WebConn* offline_conn() { return conn_open("127.0.0.1", 9, "/", nullptr, 0, 30); }

// A server that answers every request with `reply` and closes.
ScriptServer answering(const std::string& reply) {
    return ScriptServer([reply](const std::string&) { return std::optional<std::string>(reply); });
}

TEST(HttpRequest, GetIsSentWithBareLineFeeds) {
    ScriptServer server([](const std::string&) { return std::optional<std::string>(""); });
    WebConn* c = conn_open("127.0.0.1", server.port(), "/murkwell/api.php?&a=1", nullptr, 0, 30);
    EXPECT_EQ(c->state, CONN_SOCKET_READY);
    EXPECT_EQ(c->failed, 0);
    EXPECT_EQ(c->sock >= 0, true);
    ASSERT_TRUE(poll_until_over(c));
    EXPECT_EQ(server.request(0), "GET /murkwell/api.php?&a=1 HTTP/1.0\nHost: 127.0.0.1:" +
                                     std::to_string(server.port()) + "\n\n");
    EXPECT_EQ(c->state, CONN_COMPLETE);
    EXPECT_EQ(c->failed, 0);
    EXPECT_EQ(c->out.sent, c->out.length);
    conn_free(c);
}

TEST(HttpRequest, PostCarriesContentTypeLengthAndTheBodyUnchanged) {
    ScriptServer server([](const std::string&) { return std::optional<std::string>(""); });
    // Every byte value, NULs included, must arrive as it was given.
    std::string body = "&target=1&data=";
    for (int i = 0; i < 256; ++i) body += char(i);
    WebConn* c = conn_open("127.0.0.1", server.port(), "/p", body.data(), int(body.size()), 30);
    ASSERT_TRUE(poll_until_over(c));
    EXPECT_EQ(server.request(0),
              "POST /p HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                  "\nContent-Type: application/x-www-form-urlencoded\nContent-Length: " +
                  std::to_string(body.size()) + "\n\n" + body);
    EXPECT_EQ(c->failed, 0);
    conn_free(c);
}

TEST(HttpRequest, LargePostGoesOutInPiecesAndArrivesWhole) {
    ScriptServer server([](const std::string&) { return std::optional<std::string>("HTTP/1.0 200 OK\n\n"); });
    std::string body(3 << 20, 'x');
    for (size_t i = 0; i < body.size(); i += 7) body[i] = char('a' + i % 26);
    WebConn* c = conn_open("127.0.0.1", server.port(), "/big", body.data(), int(body.size()), 30);
    ASSERT_TRUE(poll_until_over(c));
    const std::string got = server.request(0);
    ASSERT_GE(got.size(), body.size());
    EXPECT_EQ(got.substr(got.size() - body.size()), body);
    EXPECT_EQ(c->failed, 0);
    conn_free(c);
}

TEST(HttpRequest, HostNameIsLookedUpWithoutBlocking) {
    // "localhost" goes through the background lookup, not the numeric path.
    ScriptServer server = answering("HTTP/1.0 200 OK\nX-Response: 1\n\nok");
    WebConn* c = conn_open("localhost", server.port(), "/", nullptr, 0, 30);
    EXPECT_EQ(c->state, CONN_NOT_STARTED);
    EXPECT_EQ(c->failed, 0);
    ASSERT_TRUE(poll_until_over(c));
    EXPECT_EQ(c->failed, 0);
    EXPECT_EQ(body_of(c), "ok");
    EXPECT_EQ(server.request(0), "GET / HTTP/1.0\nHost: localhost:" + std::to_string(server.port()) + "\n\n");
    conn_free(c);
}

TEST(HttpRequest, RequestTextOutgrowsItsFirstCapacity) {
    ScriptServer server([](const std::string&) { return std::optional<std::string>(""); });
    const std::string path = "/" + std::string(1000, 'p');
    WebConn* c = conn_open("127.0.0.1", server.port(), path.c_str(), nullptr, 0, 30);
    EXPECT_GT(c->out.length, CONN_OUT_INITIAL);
    ASSERT_TRUE(poll_until_over(c));
    EXPECT_EQ(server.request(0), "GET " + path + " HTTP/1.0\nHost: 127.0.0.1:" +
                                     std::to_string(server.port()) + "\n\n");
    conn_free(c);
}

TEST(HttpRequest, EachPollReceivesAtMostOneChunk) {
    // The whole reply waits in the socket; still every poll takes one receive
    // of at most CONN_RECV_CHUNK bytes, so a frame never drains a transfer.
    ScriptServer server;
    WebConn* c = conn_open("127.0.0.1", server.port(), "/", nullptr, 0, 30);
    ASSERT_TRUE(poll_until(c, [&] { return c->state == CONN_RECEIVING; }));
    const std::string reply = "HTTP/1.0 200 OK\n\n" + std::string(20000 - 17, 'b');
    server.send(0, reply);
    const auto t0 = std::chrono::steady_clock::now();
    int waiting = 0;
    while (waiting < int(reply.size()) && nettest::seconds_since(t0) < nettest::WAIT_SECONDS) {
        ASSERT_EQ(ioctl(c->sock, FIONREAD, &waiting), 0);
        if (waiting < int(reply.size())) usleep(200);
    }
    ASSERT_EQ(waiting, int(reply.size()));
    std::vector<int> pieces;
    while (c->reply.length < int(reply.size())) {
        const int before = c->reply.length;
        ASSERT_EQ(conn_poll(c), 0);
        pieces.push_back(c->reply.length - before);
    }
    EXPECT_EQ(pieces, (std::vector<int>{4096, 4096, 4096, 4096, 3616}));
    EXPECT_EQ(c->header_len, 17);
    server.close(0);
    ASSERT_TRUE(poll_until_over(c));
    EXPECT_TRUE(std::string(c->reply.data, size_t(c->reply.length)) == reply);
    conn_free(c);
}

// ---------------------------------------------------------------------------
// The header scan and header look-up

struct HeaderCase {
    const char* name;
    std::string head;  // status line and headers, blank line included
    std::string body;
};

TEST(HttpHeaders, BlankLineWithOrWithoutCarriageReturnsEndsTheHeaders) {
    const std::vector<HeaderCase> cases = {
        {"crlf", "HTTP/1.0 200 OK\r\nX-Response: 1\r\n\r\n", "body\r\n\r\nmore"},
        {"lf", "HTTP/1.0 200 OK\nX-Response: 1\n\n", "body\r\n\r\nmore"},
        {"crlf lines, lf blank", "HTTP/1.0 200 OK\r\nX-Response: 1\r\n\n", "body"},
        {"lf lines, crlf blank", "HTTP/1.0 200 OK\nX-Response: 1\n\r\n", "body"},
        {"empty body", "HTTP/1.0 200 OK\nX-Response: 1\n\n", ""},
        {"blank line first", "\n\n", "HTTP/1.0 200 OK\n"},
    };
    for (const HeaderCase& hc : cases) {
        SCOPED_TRACE(hc.name);
        // Through a real socket, the reply in one piece.
        ScriptServer server = answering(hc.head + hc.body);
        WebConn* c = conn_open("127.0.0.1", server.port(), "/", nullptr, 0, 30);
        ASSERT_TRUE(poll_until_over(c));
        EXPECT_EQ(c->failed, 0);
        EXPECT_EQ(c->header_len, int(hc.head.size()));
        EXPECT_EQ(body_of(c), hc.body);
        EXPECT_EQ(c->body, c->reply.data + c->header_len);
        conn_free(c);
    }
}

TEST(HttpHeaders, LookUpIsExactAndCaseSensitive) {
    WebConn* c = offline_conn();
    const std::string reply =
        "HTTP/1.0 200 OK\r\nx-response: 2\r\nX-Response: 1\r\nX-Response: 3\r\nX-Error:\r\n"
        "X-Spaces:    padded  \r\nX-Tab:\tkept\nX-Responses: no\r\n\r\nX-Body: not a header\n";
    ASSERT_TRUE(conn_take_reply(c, reply.data(), reply.size()));
    struct {
        const char* name;
        const char* want;
    } cases[] = {
        {"X-Response", "1"},      // the first exact match; the lower-case line is skipped
        {"x-response", "2"},
        {"X-RESPONSE", ""},
        {"X-Error", ""},          // present but empty
        {"X-Spaces", "padded  "}, // spaces after the colon only
        {"X-Tab", "\tkept"},
        {"X-Responses", "no"},
        {"X-Body", ""},           // in the body: not looked at
        {"HTTP/1.0 200 OK\r\nx", ""},
        {"", ""},                 // ":" starts no line
        {"Missing", ""},
    };
    for (const auto& hc : cases) EXPECT_EQ(header(c, hc.name), hc.want) << hc.name;
    conn_free(c);
}

TEST(HttpHeaders, FirstPieceWithoutBlankLineIsAllHeader) {
    ScriptServer server;
    WebConn* c = conn_open("127.0.0.1", server.port(), "/", nullptr, 0, 30);
    ASSERT_TRUE(poll_until(c, [&] { return c->state == CONN_RECEIVING; }));
    const std::string first = "HTTP/1.0 200 OK\nX-Response: 1\n";
    server.send(0, first);
    ASSERT_TRUE(poll_until(c, [&] { return c->reply.length > 0; }));
    ASSERT_EQ(c->reply.length, int(first.size()));
    server.send(0, "\nlater bytes");
    server.close(0);
    ASSERT_TRUE(poll_until_over(c));
    EXPECT_EQ(c->failed, 0);
    EXPECT_EQ(c->header_len, int(first.size()));
    EXPECT_EQ(body_of(c), "\nlater bytes");
    EXPECT_EQ(header(c, "X-Response"), "1");
    conn_free(c);
}

TEST(HttpHeaders, ValueRunsOnPastTheFirstPiece) {
    // The first piece ends inside a header line: that line is still found and
    // its value read up to its end in the next piece.
    WebConn* c = offline_conn();
    const std::string first = "HTTP/1.0 200 OK\nX-Response: 1\nX-Error:   E4: half";
    ASSERT_TRUE(conn_take_reply(c, first.data(), first.size()));
    const std::string rest = " and the rest\r\nX-Late: 2\n\nbody";
    ASSERT_TRUE(conn_take_reply(c, rest.data(), rest.size()));
    EXPECT_EQ(c->header_len, int(first.size()));
    EXPECT_EQ(header(c, "X-Error"), "E4: half and the rest");
    EXPECT_EQ(header(c, "X-Late"), "");  // starts after the header section
    conn_free(c);

    // A line whose colon is the last header byte: the spaces and value follow.
    c = offline_conn();
    const std::string cut = "HTTP/1.0 200 OK\nX-Error:";
    ASSERT_TRUE(conn_take_reply(c, cut.data(), cut.size()));
    ASSERT_TRUE(conn_take_reply(c, "  late\n\n", 9));
    EXPECT_EQ(header(c, "X-Error"), "late");
    conn_free(c);
}

TEST(HttpHeaders, ValuesAreCutAt255Bytes) {
    const std::string value(1000, 'E');
    ScriptServer server = answering("HTTP/1.0 200 OK\nX-Error: " + value + "\nX-Response: 1\n\n");
    WebConn* c = conn_open("127.0.0.1", server.port(), "/", nullptr, 0, 30);
    ASSERT_TRUE(poll_until_over(c));
    char out[CONN_HEADER_VALUE + 16];
    memset(out, 'G', sizeof out);
    conn_header(c, "X-Error", out);
    EXPECT_EQ(std::string(out), std::string(255, 'E'));
    // The buffer is cleared whole and nothing after it is touched.
    for (size_t i = 256; i < sizeof out; ++i) EXPECT_EQ(out[i], 'G');
    EXPECT_EQ(header(c, "X-Response"), "1");
    conn_free(c);
}

// ---------------------------------------------------------------------------
// Failures

TEST(HttpFailure, UnresolvableHostIsOverAtTheFirstPoll) {
    for (const char* host : {"nowhere.invalid", "Murkwell.INVALID.", "bad host name", "", "a..b",
                             "-x\n.example"}) {
        SCOPED_TRACE(host);
        WebConn* c = nullptr;
        const std::string err = stderr_of([&] { c = conn_open(host, 80, "/", nullptr, 0, 30); });
        EXPECT_NE(err.find("gethostbyname(" + std::string(host) + ") == null; h_errno = 1\n"),
                  std::string::npos)
            << err;
        EXPECT_EQ(conn_poll(c), 1);
        EXPECT_EQ(c->failed, 1);
        EXPECT_EQ(c->sock, -1);
        conn_free(c);
    }
}

TEST(HttpFailure, NameTheResolverDoesNotKnowFailsWithinTheTimeOut) {
    // Answered by the resolver (NXDOMAIN) or, without one, by the time-out.
    WebConn* c = conn_open("no-such-host.murkwell.test", 80, "/", nullptr, 0, 2);
    EXPECT_EQ(c->failed, 0);
    ASSERT_TRUE(poll_until_over(c));
    EXPECT_EQ(c->failed, 1);
    EXPECT_EQ(c->sock, -1);
    conn_free(c);
}

TEST(HttpFailure, AbandonedLookupIsReleasedSafely) {
    // Freed while the resolver may still be working: nothing may dangle.
    for (int i = 0; i < 20; ++i) conn_free(conn_open("abandoned.murkwell.test", 80, "/", nullptr, 0, 5));
}

TEST(HttpFailure, RefusedConnectFails) {
    // A port that was just free: nothing listens there.
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    WebConn* c = conn_open("127.0.0.1", ntohs(a.sin_port), "/", nullptr, 0, 30);
    bool over = false;
    const std::string err = stderr_of([&] { over = poll_until_over(c); });
    ASSERT_TRUE(over);
    EXPECT_EQ(c->failed, 1);
    EXPECT_NE(err.find("connect: 111\n"), std::string::npos) << err;
    conn_free(c);
}

TEST(HttpFailure, SilentServerFailsAfterTheTimeOut) {
    ScriptServer server;  // accepts, reads, never answers
    WebConn* c = conn_open("127.0.0.1", server.port(), "/", nullptr, 0, 1);
    bool over = false;
    const std::string err = stderr_of([&] { over = poll_until_over(c); });
    ASSERT_TRUE(over);
    EXPECT_EQ(c->failed, 1);
    EXPECT_EQ(c->state, CONN_RECEIVING);
    EXPECT_NE(err.find("timeout :: state = 3\n"), std::string::npos) << err;
    EXPECT_EQ(conn_poll(c), 1);  // stays over
    conn_free(c);
}

TEST(HttpFailure, ArgumentsTheRecordCannotHoldAreRefused) {
    const std::string long_host(CONN_HOST_MAX, 'h');
    const std::string long_path(CONN_PATH_MAX, 'p');
    struct {
        std::string host, path;
        int port;
        const char* message;
    } cases[] = {
        {long_host, "/", 80, "conn_open: host name too long\n"},
        {"127.0.0.1", long_path, 80, "conn_open: path too long\n"},
        {"127.0.0.1", "/", 0, "conn_open: bad port 0\n"},
        {"127.0.0.1", "/", 70000, "conn_open: bad port 70000\n"},
    };
    for (const auto& fc : cases) {
        WebConn* c = nullptr;
        const std::string err =
            stderr_of([&] { c = conn_open(fc.host.c_str(), fc.port, fc.path.c_str(), nullptr, 0, 30); });
        EXPECT_EQ(err, fc.message);
        EXPECT_EQ(c->failed, 1);
        EXPECT_EQ(conn_poll(c), 1);
        conn_free(c);
    }
    // The longest host and path that fit are taken.
    WebConn* c = conn_open(std::string(CONN_HOST_MAX - 1, 'h').c_str(), 80,
                           std::string(CONN_PATH_MAX - 1, 'p').c_str(), nullptr, 0, 30);
    EXPECT_EQ(strlen(c->host), size_t(CONN_HOST_MAX - 1));
    EXPECT_EQ(strlen(c->path), size_t(CONN_PATH_MAX - 1));
    conn_free(c);
}

// ---------------------------------------------------------------------------
// Replies that misbehave

TEST(HttpBadReply, EnormousHeadersCostOnlyTheFirstPieceOfScanning) {
    std::string head = "HTTP/1.0 200 OK\n";
    for (int i = 0; i < 5000; ++i) head += "X-Pad-" + std::to_string(i) + ": " + std::string(40, 'p') + "\n";
    const std::string reply = head + "X-Response: 1\n\nbody";
    ScriptServer server = answering(reply);
    WebConn* c = conn_open("127.0.0.1", server.port(), "/", nullptr, 0, 30);
    ASSERT_TRUE(poll_until_over(c));
    EXPECT_EQ(c->failed, 0);
    EXPECT_EQ(reply_of(c), reply);
    // No blank line in the first piece: that piece is the header section.
    EXPECT_GT(c->header_len, 0);
    EXPECT_LE(c->header_len, CONN_RECV_CHUNK);
    EXPECT_EQ(c->header_len + c->body_len, c->reply.length);
    EXPECT_EQ(header(c, "X-Response"), "");
    EXPECT_EQ(header(c, "X-Pad-0"), std::string(40, 'p'));
    EXPECT_EQ(c->reply.data[c->reply.length], '\0');
    conn_free(c);
}

TEST(HttpBadReply, NoHeadersAtAll) {
    ScriptServer server = answering("just a body");
    WebConn* c = conn_open("127.0.0.1", server.port(), "/", nullptr, 0, 30);
    ASSERT_TRUE(poll_until_over(c));
    EXPECT_EQ(c->failed, 0);
    EXPECT_EQ(c->header_len, 11);
    EXPECT_EQ(c->body_len, 0);
    EXPECT_EQ(header(c, "X-Response"), "");
    conn_free(c);
}

TEST(HttpBadReply, EmptyReply) {
    ScriptServer server = answering("");
    WebConn* c = conn_open("127.0.0.1", server.port(), "/", nullptr, 0, 30);
    ASSERT_TRUE(poll_until_over(c));
    EXPECT_EQ(c->failed, 0);
    EXPECT_EQ(c->state, CONN_COMPLETE);
    EXPECT_EQ(c->header_len, 0);
    EXPECT_EQ(c->body_len, 0);
    EXPECT_EQ(header(c, "X-Response"), "");
    conn_free(c);
}

TEST(HttpBadReply, ServerClosesMidHeader) {
    ScriptServer server = answering("HTTP/1.0 200 OK\nX-Respon");
    WebConn* c = conn_open("127.0.0.1", server.port(), "/", nullptr, 0, 30);
    ASSERT_TRUE(poll_until_over(c));
    EXPECT_EQ(c->failed, 0);
    EXPECT_EQ(c->header_len, 24);
    EXPECT_EQ(header(c, "X-Response"), "");
    EXPECT_EQ(header(c, "X-Respon"), "");  // "X-Respon:" does not fit in the section
    conn_free(c);
}

TEST(HttpBadReply, TrickleOneByteAtATime) {
    const std::string reply = "HTTP/1.0 200 OK\r\nX-Response: 1\r\n\r\nhello";
    ScriptServer server;
    WebConn* c = conn_open("127.0.0.1", server.port(), "/", nullptr, 0, 30);
    ASSERT_TRUE(poll_until(c, [&] { return c->state == CONN_RECEIVING; }));
    for (size_t i = 0; i < reply.size(); ++i) {
        server.send(0, reply.substr(i, 1));
        ASSERT_TRUE(poll_until(c, [&] { return c->reply.length == int(i + 1); })) << i;
    }
    server.close(0);
    ASSERT_TRUE(poll_until_over(c));
    EXPECT_EQ(c->failed, 0);
    EXPECT_EQ(reply_of(c), reply);
    // Only the first piece is scanned: one byte of header, the rest is body.
    EXPECT_EQ(c->header_len, 1);
    EXPECT_EQ(body_of(c), reply.substr(1));
    EXPECT_EQ(header(c, "X-Response"), "");
    conn_free(c);
}

TEST(HttpBadReply, BodyFollowsTheBufferWhenTheClosingReceiveGrowsIt) {
    // The reply fills the buffer so far that the poll which only sees the
    // server close still grows (and may move) the buffer; the body must point
    // into the buffer as it is now, not into the freed one.
    for (size_t total : {size_t(4096), size_t(12288), size_t(28672)}) {
        SCOPED_TRACE(total);
        const std::string head = "HTTP/1.0 200 OK\nX-Response: 1\n\n";
        std::string reply = head;
        while (reply.size() < total) reply += char('a' + reply.size() % 26);
        ScriptServer server;
        WebConn* c = conn_open("127.0.0.1", server.port(), "/", nullptr, 0, 30);
        ASSERT_TRUE(poll_until(c, [&] { return c->state == CONN_RECEIVING; }));
        server.send(0, reply);
        ASSERT_TRUE(poll_until(c, [&] { return c->reply.length == int(total); }));
        // Something right after the buffer, so growing it has to move it.
        std::unique_ptr<char[]> blocker(new char[total * 4]);
        blocker[0] = 1;
        server.close(0);
        ASSERT_TRUE(poll_until_over(c));
        EXPECT_EQ(c->failed, 0);
        EXPECT_EQ(c->header_len, int(head.size()));
        EXPECT_EQ(c->body, c->reply.data + c->header_len);
        EXPECT_TRUE(body_of(c) == reply.substr(head.size()));
        conn_free(c);
    }
}

TEST(HttpBadReply, ReplyBeyondTheLimitFails) {
    const size_t saved = conn_reply_limit();
    set_conn_reply_limit(64 * 1024);
    ScriptServer server = answering("HTTP/1.0 200 OK\nX-Response: 1\n\n" + std::string(300 * 1024, 'z'));
    WebConn* c = conn_open("127.0.0.1", server.port(), "/", nullptr, 0, 30);
    bool over = false;
    const std::string err = stderr_of([&] { over = poll_until_over(c); });
    set_conn_reply_limit(saved);
    ASSERT_TRUE(over);
    EXPECT_EQ(c->failed, 1);
    EXPECT_LE(size_t(c->reply.length), size_t(64 * 1024));
    EXPECT_NE(err.find("reply too large"), std::string::npos);
    conn_free(c);
}

TEST(HttpBadReply, RepliesUpToTheLimitComplete) {
    const size_t saved = conn_reply_limit();
    const size_t limit = 64 * 1024;
    set_conn_reply_limit(limit);
    const std::string head = "HTTP/1.0 200 OK\nX-Response: 1\n\n";
    struct Case {
        size_t total;
        bool completes;
    } cases[] = {{limit - CONN_RECV_CHUNK, true}, {limit - CONN_RECV_CHUNK + 1, true},
                 {limit - 1, true}, {limit, true}, {limit + 1, false},
                 {limit + CONN_RECV_CHUNK, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.total);
        std::string reply = head;
        while (reply.size() < c.total) reply += char('a' + reply.size() % 26);
        ScriptServer server = answering(reply);
        WebConn* conn = conn_open("127.0.0.1", server.port(), "/", nullptr, 0, 30);
        bool over = false;
        const std::string err = stderr_of([&] { over = poll_until_over(conn); });
        ASSERT_TRUE(over);
        EXPECT_EQ(conn->failed, c.completes ? 0 : 1);
        EXPECT_EQ(err.find("reply too large") == std::string::npos, c.completes) << err;
        EXPECT_LE(size_t(conn->reply.length), limit);
        if (c.completes) {
            EXPECT_TRUE(reply_of(conn) == reply);
        }
        conn_free(conn);
    }
    set_conn_reply_limit(saved);
}

TEST(HttpBadReply, FeedingPiecesKeepsBodyAndBufferConsistent) {
    // Pieces of every size around the receive chunk, fed as receives would be.
    std::string reply = "HTTP/1.0 200 OK\nX-Response: 1\n\n";
    for (int i = 0; i < 20000; ++i) reply += char(i * 31 % 256);
    for (size_t piece : {size_t(1), size_t(7), size_t(4095), size_t(4096), size_t(4097), reply.size()}) {
        WebConn* c = offline_conn();
        for (size_t at = 0; at < reply.size(); at += piece)
            ASSERT_TRUE(conn_take_reply(c, reply.data() + at, std::min(piece, reply.size() - at)));
        EXPECT_EQ(reply_of(c), reply);
        EXPECT_GT(c->reply.capacity, c->reply.length);
        EXPECT_EQ(c->reply.data[c->reply.length], '\0');
        EXPECT_EQ(c->header_len + c->body_len, c->reply.length);
        EXPECT_EQ(c->header_len, piece == 1 ? 1 : piece == 7 ? 7 : 31);
        conn_free(c);
    }
}

// ---------------------------------------------------------------------------
// WebRequest

TEST(WebRequestObject, DefaultsAndAssignmentNeverShareTheConnection) {
    WebRequest r;
    EXPECT_EQ(r.host, "");
    EXPECT_EQ(r.port, 80);
    EXPECT_EQ(r.path, "/");
    EXPECT_EQ(r.post, "");
    EXPECT_EQ(r.timeout, 30.0f);
    EXPECT_EQ(r.conn, nullptr);
    EXPECT_EQ(r.header("X-Response"), "");

    ScriptServer server = answering("HTTP/1.0 200 OK\nX-Response: 7\n\n");
    WebRequest a;
    a.host = "127.0.0.1";
    a.port = server.port();
    a.path = "/first";
    a.post = "x=1";
    a.timeout = 12.9f;
    a.start();
    ASSERT_NE(a.conn, nullptr);
    EXPECT_EQ(a.conn->timeout, 12);
    WebConn* first = a.conn;
    a.start();  // already running: nothing changes
    EXPECT_EQ(a.conn, first);
    ASSERT_TRUE(poll_until_over(a.conn));
    EXPECT_EQ(a.header("X-Response"), "7");

    WebRequest b;
    b.host = "127.0.0.1";
    b.port = server.port();
    b.start();
    b = a;  // frees b's connection, copies a's description only
    EXPECT_EQ(b.conn, nullptr);
    EXPECT_EQ(b.path, "/first");
    EXPECT_EQ(b.post, "x=1");
    EXPECT_EQ(b.timeout, 12.9f);
    EXPECT_EQ(a.conn, first);

    WebRequest copy(a);
    EXPECT_EQ(copy.conn, nullptr);
    EXPECT_EQ(copy.port, server.port());

    WebRequest& same = a;
    a = same;  // self-assignment keeps the connection
    EXPECT_EQ(a.conn, first);
    a = WebRequest();  // a fresh request: the previous connection is freed
    EXPECT_EQ(a.conn, nullptr);
    EXPECT_EQ(a.path, "/");
    a.close();
    EXPECT_EQ(a.conn, nullptr);
}

TEST(WebRequestObject, TimeOutsAreTruncatedAndBounded) {
    struct {
        float timeout;
        int seconds;
    } cases[] = {{30.0f, 30}, {1.99f, 1}, {0.5f, 0}, {-4.0f, 0}, {NAN, 0}, {1e30f, 365 * 24 * 3600}};
    for (const auto& tc : cases) {
        WebRequest r;
        r.host = "127.0.0.1";
        r.timeout = tc.timeout;
        r.start();
        EXPECT_EQ(r.conn->timeout, tc.seconds) << tc.timeout;
    }
}

}  // namespace
