// A small child program for the command runner's tests. Its first argument picks what it does:
//   bytes HEX...  writes the bytes the hex texts spell, all in one write
//   args ARG...   writes each argument as hex on a line of its own, all in one write
//   ticks         writes "tick N" lines every few milliseconds until it is killed
//   stdin         reads its standard input to the end, then writes how many bytes came
//   silent        writes nothing
//   quiet S       writes nothing for S seconds, then ends
//   stubborn S    writes a line once it ignores termination signals, then nothing for S seconds
//   family FILE S starts a child of its own, writes "<own pid> <child's pid>" into FILE, and
//                 both write nothing for S seconds
//   flood N       writes N bytes in lines of 64, then ends
// Any other mode ends with status 2.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void WriteAll(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            _exit(3);
        }
        done += static_cast<size_t>(written);
    }
}

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    return -1;
}

std::string Hex(const char* text) {
    static const char digits[] = "0123456789abcdef";
    std::string result;
    for (const char* p = text; *p != '\0'; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        result += digits[byte >> 4];
        result += digits[byte & 15];
    }
    return result;
}

void SleepSeconds(const char* text) {
    const long seconds = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
    for (long i = 0; i < seconds * 10; ++i) {
        ::usleep(100000);
    }
}

// Writes the text into a new file at once, so a reader never sees half of it.
void WriteFile(const char* path, const std::string& text) {
    const std::string part = std::string(path) + ".part";
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        _exit(4);
    }
    ::close(fd);
    ::rename(part.c_str(), path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "bytes") {
        std::string out;
        for (int i = 2; i < argc; ++i) {
            for (const char* p = argv[i]; p[0] != '\0' && p[1] != '\0'; p += 2) {
                out += static_cast<char>(HexValue(p[0]) * 16 + HexValue(p[1]));
            }
        }
        WriteAll(out);
    } else if (mode == "args") {
        std::string out;
        for (int i = 2; i < argc; ++i) {
            out += Hex(argv[i]) + "\n";
        }
        WriteAll(out);
    } else if (mode == "ticks") {
        for (long n = 0;; ++n) {
            WriteAll("tick " + std::to_string(n) + "\n");
            ::usleep(2000);
        }
    } else if (mode == "stdin") {
        char buffer[256];
        long total = 0;
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            total += n;
        }
        WriteAll("stdin bytes: " + std::to_string(total) + "\n");
    } else if (mode == "quiet") {
        SleepSeconds(argc > 2 ? argv[2] : nullptr);
    } else if (mode == "stubborn") {
        ::signal(SIGTERM, SIG_IGN);
        WriteAll("ignoring termination\n");
        SleepSeconds(argc > 2 ? argv[2] : nullptr);
    } else if (mode == "family" && argc > 3) {
        const pid_t child = ::fork();
        if (child == 0) {
            SleepSeconds(argv[3]);
            _exit(0);
        }
        WriteFile(argv[2], std::to_string(::getpid()) + " " + std::to_string(child) + "\n");
        SleepSeconds(argv[3]);
        ::waitpid(child, nullptr, 0);
    } else if (mode == "flood" && argc > 2) {
        const long total = std::strtol(argv[2], nullptr, 10);
        const std::string line = std::string(63, 'x') + "\n";
        for (long done = 0; done < total; done += static_cast<long>(line.size())) {
            WriteAll(line.substr(0, static_cast<size_t>(std::min<long>(64, total - done))));
        }
    } else if (mode != "silent") {
        return 2;
    }
    return 0;
}
