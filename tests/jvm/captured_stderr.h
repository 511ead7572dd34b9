// Standard error sent to a file for a while, at the level where the Java host writes to
// it (descriptor 2, the process's standard error handle), so that a test can read the
// exact bytes written.
#pragma once

#include <string>

namespace orvo_test {

class captured_stderr {
  public:
    // From now on standard error goes to the file at `path`, which is emptied first.
    explicit captured_stderr(const std::string& path);
    // Puts standard error back if finish() has not.
    ~captured_stderr();
    captured_stderr(const captured_stderr&) = delete;
    captured_stderr& operator=(const captured_stderr&) = delete;

    // Puts standard error back and returns what was written meanwhile.
    std::string finish();

  private:
    void restore();

    std::string path_;
    long long saved_ = -1;  // the standard error that was there before
    long long file_ = -1;   // the file's handle while it is standard error
    bool capturing_ = true; // until restore()
};

// Standard error closed for a while, as when the service's log file could not be opened:
// every write to it fails.
class closed_stderr {
  public:
    closed_stderr();
    ~closed_stderr();
    closed_stderr(const closed_stderr&) = delete;
    closed_stderr& operator=(const closed_stderr&) = delete;

  private:
    long long saved_ = -1;
};

} // namespace orvo_test
