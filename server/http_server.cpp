#include "server/http_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>

// One request on a connection: what arrived so far.
struct HttpServer::Exchange {
    std::string target;   // the raw request target, query string included
    std::string body;
    bool started = false;
    bool too_large = false;
    bool answered = false;
    std::chrono::steady_clock::time_point begun = std::chrono::steady_clock::now();
    std::string peer;
};

namespace {

using Clock = std::chrono::steady_clock;

// The raw target, before libmicrohttpd splits and decodes it: the service
// parses the query string itself, exactly as the game encodes it.
void* on_uri(void*, const char* uri, MHD_Connection*) {
    auto* x = new HttpServer::Exchange();
    x->target = uri ? uri : "";
    return x;
}

void on_completed(void*, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
    delete static_cast<HttpServer::Exchange*>(*context);
    *context = nullptr;
}

void on_connection(void* cls, MHD_Connection*, void**, MHD_ConnectionNotificationCode code) {
    if (code == MHD_CONNECTION_NOTIFY_CLOSED) static_cast<HttpServer*>(cls)->on_closed();
}

MHD_Result on_access(void* cls, MHD_Connection* connection, const char* url, const char* method,
                     const char*, const char* upload_data, size_t* upload_data_size, void** context) {
    return static_cast<HttpServer*>(cls)->on_request(connection, url, method, upload_data,
                                                     upload_data_size, context)
               ? MHD_YES
               : MHD_NO;
}

// libmicrohttpd's own messages (a refused connection over the limits, a
// broken request): each kind at most once in ten seconds, so a flood cannot
// fill the log.
void on_log(void*, const char* format, va_list args) {
    static std::mutex mutex;
    static std::map<const char*, Clock::time_point> said;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const Clock::time_point t = Clock::now();
        auto it = said.find(format);
        if (it != said.end() && t - it->second < std::chrono::seconds(10)) return;
        said[format] = t;
    }
    char line[512];
    vsnprintf(line, sizeof line, format, args);
    size_t n = strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
    fprintf(stderr, "http: %s\n", line);
}

void release_shared(void* cls) { delete static_cast<std::shared_ptr<const std::string>*>(cls); }

std::string peer_of(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    char text[INET6_ADDRSTRLEN] = "";
    if (info && info->client_addr) {
        const sockaddr* a = info->client_addr;
        if (a->sa_family == AF_INET)
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a)->sin_addr, text, sizeof text);
        else if (a->sa_family == AF_INET6)
            inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr, text, sizeof text);
    }
    return text;
}

// A header value must stay on one line.
std::string one_line(const std::string& s) {
    std::string out;
    for (char c : s) out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? ' ' : c;
    return out;
}

bool queue_reply(MHD_Connection* connection, const Reply& reply) {
    MHD_Response* response;
    if (reply.shared_body) {
        // The cached list is sent from where it is, kept alive until sent.
        auto* keep = new std::shared_ptr<const std::string>(reply.shared_body);
        response = MHD_create_response_from_buffer_with_free_callback_cls(
            (*keep)->size(), const_cast<char*>((*keep)->data()), release_shared, keep);
        if (!response) delete keep;
    } else {
        response = MHD_create_response_from_buffer(reply.body.size(), const_cast<char*>(reply.body.data()),
                                                   MHD_RESPMEM_MUST_COPY);
    }
    if (!response) return false;
    MHD_add_response_header(response, "X-Response", "1");
    if (!reply.error.empty()) MHD_add_response_header(response, "X-Error", one_line(reply.error).c_str());
    if (!reply.content_type.empty())
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.content_type.c_str());
    const MHD_Result rc = MHD_queue_response(connection, unsigned(reply.status), response);
    MHD_destroy_response(response);
    return rc == MHD_YES;
}

}  // namespace

std::string printable(const std::string& s, size_t limit) {
    std::string out;
    for (size_t i = 0; i < s.size() && out.size() < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            out += char(c);
        } else {
            char esc[8];
            snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        }
    }
    return out;
}

bool parse_listen(const std::string& text, std::string& address, int& port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::string host = text.substr(0, colon);
    const std::string digits = text.substr(colon + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int p = atoi(digits.c_str());
    in6_addr a6;
    in_addr a4;
    if (p > 65535 || (inet_pton(AF_INET, host.c_str(), &a4) != 1 && inet_pton(AF_INET6, host.c_str(), &a6) != 1))
        return false;
    address = host;
    port = p;
    return true;
}

HttpServer::HttpServer(Service& service, HttpOptions options) : service_(service), options_(std::move(options)) {}

HttpServer::~HttpServer() { stop(); }

bool HttpServer::start() {
    sockaddr_storage storage{};
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ERROR_LOG | MHD_USE_TURBO;
    auto* a4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* a6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, options_.address.c_str(), &a4->sin_addr) == 1) {
        a4->sin_family = AF_INET;
        a4->sin_port = htons(uint16_t(options_.port));
    } else if (inet_pton(AF_INET6, options_.address.c_str(), &a6->sin6_addr) == 1) {
        a6->sin6_family = AF_INET6;
        a6->sin6_port = htons(uint16_t(options_.port));
        flags |= MHD_USE_IPv6;
    } else {
        fprintf(stderr, "cannot listen on %s: not an IP address\n", options_.address.c_str());
        return false;
    }
    const unsigned threads = options_.threads < 1 ? 1 : options_.threads;
    daemon_ = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &on_access, this,
        MHD_OPTION_EXTERNAL_LOGGER, &on_log, this,
        MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&storage),
        MHD_OPTION_THREAD_POOL_SIZE, threads,
        MHD_OPTION_CONNECTION_LIMIT, options_.max_connections,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, options_.max_per_address,
        MHD_OPTION_CONNECTION_TIMEOUT, options_.timeout,
        MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u,
        MHD_OPTION_LISTENING_ADDRESS_REUSE, 1u,
        MHD_OPTION_URI_LOG_CALLBACK, &on_uri, this,
        MHD_OPTION_NOTIFY_COMPLETED, &on_completed, this,
        MHD_OPTION_NOTIFY_CONNECTION, &on_connection, this,
        MHD_OPTION_END);
    if (!daemon_) {
        fprintf(stderr, "cannot listen on %s:%d\n", options_.address.c_str(), options_.port);
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
    port_ = info ? int(info->port) : options_.port;
    return true;
}

bool HttpServer::start_manual() {
    daemon_ = MHD_start_daemon(
        MHD_USE_NO_LISTEN_SOCKET, 0, nullptr, nullptr, &on_access, this,
        MHD_OPTION_CONNECTION_LIMIT, options_.max_connections,
        MHD_OPTION_CONNECTION_TIMEOUT, options_.timeout,
        MHD_OPTION_URI_LOG_CALLBACK, &on_uri, this,
        MHD_OPTION_NOTIFY_COMPLETED, &on_completed, this,
        MHD_OPTION_NOTIFY_CONNECTION, &on_connection, this,
        MHD_OPTION_END);
    return daemon_ != nullptr;
}

bool HttpServer::add_connection(int fd) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return daemon_ && MHD_add_connection(daemon_, fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == MHD_YES;
}

void HttpServer::run_once() {
    if (daemon_) MHD_run(daemon_);
}

void HttpServer::stop() {
    if (daemon_) MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
}

int HttpServer::on_request(void* c, const char* url, const char* method, const char* upload_data,
                           size_t* upload_data_size, void** context) {
    auto* connection = static_cast<MHD_Connection*>(c);
    auto* x = static_cast<Exchange*>(*context);
    if (!x) {
        x = new Exchange();
        x->target = url ? url : "";
        *context = x;
    }
    if (!x->started) {
        // Headers are in: a body announced as too long is refused before any of it is read.
        x->started = true;
        x->peer = peer_of(connection);
        const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                                         MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (length && strtoull(length, nullptr, 10) > options_.max_body) {
            x->too_large = true;
            const Reply reply = Service::too_large();
            x->answered = true;
            log_request(*x, method, reply, reply.bytes().size());
            return queue_reply(connection, reply);
        }
        return 1;
    }
    if (*upload_data_size != 0) {
        if (!x->too_large) {
            if (x->body.size() + *upload_data_size > options_.max_body) {
                x->too_large = true;
                std::string().swap(x->body);
            } else {
                x->body.append(upload_data, *upload_data_size);
            }
        }
        *upload_data_size = 0;
        return 1;
    }
    if (x->answered) return 1;
    x->answered = true;
    Reply reply;
    if (x->too_large) {
        reply = Service::too_large();
    } else {
        Request request;
        request.method = method ? method : "";
        request.target = x->target;
        request.body = std::move(x->body);
        request.peer = x->peer;
        const char* type = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_TYPE);
        request.content_type = type ? type : "";
        reply = service_.handle(request);
    }
    log_request(*x, method, reply, reply.bytes().size());
    return queue_reply(connection, reply);
}

void HttpServer::log_request(const Exchange& x, const char* method, const Reply& reply, size_t bytes) const {
    if (!options_.log) return;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - x.begun).count();
    char when[32] = "";
    const time_t t = time(nullptr);
    struct tm parts;
    if (gmtime_r(&t, &parts)) strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &parts);
    // Never the query string: it carries the sign-in token.
    const std::string path = x.target.substr(0, x.target.find('?'));
    char line[2048];
    snprintf(line, sizeof line, "%s %s %s \"%s\" %s %d %zu %.1fms%s%s%s\n", when,
             x.peer.empty() ? "-" : x.peer.c_str(), printable(method ? method : "").c_str(),
             printable(path).c_str(), reply.action.empty() ? "-" : printable(reply.action).c_str(),
             reply.status, bytes, ms, reply.error.empty() ? "" : " \"",
             printable(reply.error, 400).c_str(), reply.error.empty() ? "" : "\"");
    fputs(line, stderr);
}
