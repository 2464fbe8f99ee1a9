#include "documents/Scramble.h"

#include <algorithm>
#include <array>
#include <iostream>

namespace lumex {

namespace {

void ScrambleChunk(uint8_t *chunk, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i)
        chunk[i] = static_cast<uint8_t>(chunk[i] ^ ScrambleKey ^ ((i + 1) % ScrambleModulus));
}

} // namespace

void ScrambleBytes(std::span<uint8_t> bytes)
{
    for (std::size_t start = 0; start < bytes.size(); start += ScrambleChunkSize) {
        std::size_t length = std::min<std::size_t>(ScrambleChunkSize, bytes.size() - start);
        ScrambleChunk(bytes.data() + start, length);
    }
}

bool ScrambleStream(std::iostream &stream)
{
    std::array<char, ScrambleChunkSize> chunk{};
    stream.clear();
    std::streamoff position = 0;
    for (;;) {
        stream.seekg(position);
        stream.read(chunk.data(), chunk.size());
        auto got = static_cast<std::size_t>(stream.gcount());
        stream.clear();
        if (got > 0) {
            ScrambleChunk(reinterpret_cast<uint8_t *>(chunk.data()), got);
            stream.seekp(position);
            stream.write(chunk.data(), static_cast<std::streamsize>(got));
            stream.flush();
            if (!stream)
                return false;
            position += static_cast<std::streamoff>(got);
        }
        if (got < chunk.size())
            break;
    }
    stream.seekg(0);
    stream.seekp(0);
    return static_cast<bool>(stream);
}

} // namespace lumex
