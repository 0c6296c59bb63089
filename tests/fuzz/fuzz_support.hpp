// What the fuzz targets share: a failed check that the fuzzer sees as a
// crash, what the game's code prints caught in memory, and a reader of the
// fuzzer's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <unistd.h>

// A broken invariant: said on the terminal's own descriptor (the stdio
// streams may be caught meanwhile) and ended as a crash, which the fuzzer
// keeps the input of.
#define FUZZ_CHECK(condition, what)                                                                                    \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            fuzz_check_failed(__FILE__, __LINE__, #condition, what);                                                   \
    } while (0)

[[noreturn]] inline void fuzz_check_failed(const char* file, int line, const char* condition, std::string_view what)
{
    dprintf(STDERR_FILENO, "%s:%d: check failed: %s\n  %.*s\n", file, line, condition, static_cast<int>(what.size()),
            what.data());
    std::abort();
}

// One of the stdio streams pointed at memory while the code under test
// writes to it. The sanitizers and the fuzzer write their reports to the
// descriptors, which stay the terminal's.
struct CaughtStream {
    FILE*& stream;
    FILE* saved;
    char* text = nullptr;
    size_t size = 0;
};

inline CaughtStream begin_catching(FILE*& stream)
{
    std::fflush(stream);
    CaughtStream caught{stream, stream};
    FILE* memory = open_memstream(&caught.text, &caught.size);
    if (!memory)
        fuzz_check_failed(__FILE__, __LINE__, "open_memstream", "no memory stream");
    stream = memory;
    return caught;
}

// Everything written so far.
inline std::string_view caught_text(CaughtStream& caught)
{
    std::fflush(caught.stream);
    return {caught.text, caught.size};
}

inline std::string end_catching(CaughtStream& caught)
{
    std::fclose(caught.stream);
    caught.stream = caught.saved;
    std::string text(caught.text, caught.size);
    std::free(caught.text);
    return text;
}

// True when `text` would show on a terminal as it is: line ends, printable
// ASCII and well-formed UTF-8 (the French words of the game's lines), but no
// other control character, C0, DEL or C1, that could move the cursor or
// change what the terminal shows next.
inline bool is_terminal_safe(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n' || (byte >= 0x20 && byte < 0x7F)) {
            ++i;
            continue;
        }
        // Two to four bytes: a lead byte and continuation bytes, for a code
        // point past the C1 controls (U+00A0 on).
        const size_t length = byte >= 0xC2 && byte < 0xE0   ? 2
                              : byte >= 0xE0 && byte < 0xF0 ? 3
                              : byte >= 0xF0 && byte < 0xF5 ? 4
                                                            : 0;
        if (length == 0 || i + length > text.size())
            return false;
        uint32_t point = byte & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            point = point << 6 | (next & 0x3F);
        }
        if (point < 0xA0 || (length == 3 && point < 0x800) || (length == 4 && point < 0x10000) || point > 0x10FFFF)
            return false;
        i += length;
    }
    return true;
}

// Takes the fuzzer's bytes from the front; past their end every byte is 0.
struct InputBytes {
    const uint8_t* data;
    size_t size;
};

inline uint8_t take_byte(InputBytes& input)
{
    if (input.size == 0)
        return 0;
    --input.size;
    return *input.data++;
}
