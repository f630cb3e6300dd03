#include "sim_test_util.h"

#include <arpa/inet.h>
#include <chrono>
#include <csetjmp>
#include <curl/curl.h>
#include <jpeglib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrova::sim::test {

namespace {

struct Sink {
    std::string* out;
    size_t max;
};

size_t WriteBody(char* data, size_t size, size_t n, void* user) {
    auto* sink = static_cast<Sink*>(user);
    sink->out->append(data, size * n);
    if (sink->max && sink->out->size() >= sink->max)
        return 0; // enough: abort the endless stream
    return size * n;
}

size_t WriteHeader(char* data, size_t size, size_t n, void* user) {
    static_cast<std::string*>(user)->append(data, size * n);
    return size * n;
}

} // namespace

HttpResult Fetch(const HttpRequest& r) {
    HttpResult result;
    CURL* curl = curl_easy_init();
    Sink sink{&result.body, r.maxBytes};
    curl_easy_setopt(curl, CURLOPT_URL, r.url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, r.timeoutMs);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &WriteHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &result.headers);
    if (r.sendAuth) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
        curl_easy_setopt(curl, CURLOPT_USERNAME, r.user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, r.password.c_str());
    }
    curl_slist* headers = nullptr;
    if (r.post || !r.postBody.empty()) {
        headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, r.postBody.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(r.postBody.size()));
    }
    const CURLcode code = curl_easy_perform(curl);
    result.transferError = code != CURLE_OK && !(code == CURLE_WRITE_ERROR && r.maxBytes);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return result;
}

std::string RawExchange(uint16_t port, std::string_view bytes, size_t maxBytes, int timeoutMs) {
    std::string answer;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return answer;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(bytes.size())) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        char buf[4096];
        while (answer.size() < maxBytes) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0)
                break;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0)
                break;
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            answer.append(buf, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    return answer;
}

void SendAndStall(uint16_t port, std::string_view bytes, int holdMs) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return;
    int small = 4096; // a small window so the server's writes block soon
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    ::close(fd);
}

namespace {
struct JpegError {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};
void JpegFail(j_common_ptr c) {
    std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1);
}
} // namespace

std::pair<int, int> DecodeJpegSize(std::string_view jpeg) {
    jpeg_decompress_struct cinfo{};
    JpegError err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = JpegFail;
    std::vector<uint8_t> row;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return {0, 0};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.data()),
                 static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    row.resize(static_cast<size_t>(cinfo.output_width) * cinfo.output_components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
    }
    const std::pair<int, int> size{static_cast<int>(cinfo.output_width),
                                   static_cast<int>(cinfo.output_height)};
    jpeg_finish_decompress(&cinfo);
    const bool clean = err.base.num_warnings == 0; // corrupt data only warns
    jpeg_destroy_decompress(&cinfo);
    return clean ? size : std::pair<int, int>{0, 0};
}

} // namespace kestrova::sim::test
