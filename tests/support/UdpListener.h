#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A UDP port on 127.0.0.1 that notes whether anything arrived: the given port, or any free
// one when it is 0.
class UdpListener {
public:
    explicit UdpListener(unsigned short port = 0) : fd_(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0
            && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~UdpListener() { ::close(fd_); }
    UdpListener(const UdpListener&) = delete;
    UdpListener& operator=(const UdpListener&) = delete;

    // The port bound; 0 when binding failed.
    int port() const { return port_; }
    bool received() const
    {
        char byte = 0;
        return ::recv(fd_, &byte, 1, MSG_DONTWAIT) >= 0;
    }

private:
    int fd_;
    int port_ = 0;
};
