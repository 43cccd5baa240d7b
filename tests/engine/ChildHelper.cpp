// A small child program for the command runner's tests. Its first argument picks what it does:
//   bytes HEX...  writes the bytes the hex texts spell, all in one write
//   args ARG...   writes each argument as hex on a line of its own, all in one write
//   ticks         writes "tick N" lines every few milliseconds until it is killed
//   stdin         reads its standard input to the end, then writes how many bytes came
//   silent        writes nothing
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
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
    } else if (mode != "silent") {
        return 2;
    }
    return 0;
}
