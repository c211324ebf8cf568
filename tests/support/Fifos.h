#pragma once
// The writing end of a FIFO that a test hands to the program as a camera.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

namespace testing_support {

// Opens the FIFO's writing end once a reader is there (giving up after a
// while), then runs `write` on it.
inline std::thread fifoWriter(const std::filesystem::path& fifo, std::function<void(int)> write, double delay = 0) {
  return std::thread([fifo, write, delay] {
    std::this_thread::sleep_for(std::chrono::duration<double>(delay));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int fd = -1;
    while (fd < 0 && std::chrono::steady_clock::now() < deadline) {
      fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (fd < 0) return;
    ::fcntl(fd, F_SETFL, 0);
    write(fd);
    ::close(fd);
  });
}

// The whole file into the FIFO; a reader that goes early only ends the
// writing (the broken pipe is no signal on this thread).
inline std::thread feedFifo(const std::filesystem::path& fifo, const std::filesystem::path& file) {
  return fifoWriter(fifo, [file](int fd) {
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::size_t at = 0; at < bytes.size();) {
      const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
      if (n <= 0) return;
      at += static_cast<std::size_t>(n);
    }
  });
}

}  // namespace testing_support
