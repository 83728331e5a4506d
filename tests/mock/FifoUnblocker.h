#pragma once

#include <QFile>
#include <QString>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace kestrel::test {

// For tests of code that must never open a FIFO and wait on it: after a
// grace period, opens the FIFO for writing again and again, so a reader
// blocked on it gets end-of-file. Code that blocks then shows as slow (the
// test measures it) instead of hanging the test.
class FifoUnblocker
{
public:
    explicit FifoUnblocker(const QString& path, std::chrono::milliseconds grace = std::chrono::seconds(2))
        : m_thread([this, name = QFile::encodeName(path), grace] {
              const auto start = std::chrono::steady_clock::now();
              while (!m_stop) {
                  if (std::chrono::steady_clock::now() - start >= grace) {
                      // Fails (ENXIO) while nobody reads.
                      if (const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); fd >= 0)
                          ::close(fd);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          })
    {}
    ~FifoUnblocker()
    {
        m_stop = true;
        m_thread.join();
    }
    FifoUnblocker(const FifoUnblocker&) = delete;
    FifoUnblocker& operator=(const FifoUnblocker&) = delete;

private:
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

} // namespace kestrel::test
