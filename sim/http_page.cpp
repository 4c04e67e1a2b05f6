#include "http_page.hpp"

namespace quillsim {

std::string device_page_response(const MacBytes& mac, std::string_view address, int port) {
    const std::string name = "quillsim device " + format_mac(mac);
    const std::string body = "<!DOCTYPE html>\n<html><head><title>" + name + "</title></head>\n<body><h1>" +
                             name + "</h1>\n<p>Address " + std::string(address) + ", HTTP port " +
                             std::to_string(port) + "</p></body></html>\n";
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace quillsim
