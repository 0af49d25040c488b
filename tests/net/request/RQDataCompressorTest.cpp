#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <zlib.h>

#include "net/request/RQDataCompressor.h"
#include "net/request/RQDataDecompressor.h"
#include "net/request/RQError.h"
#include "tests/support/TestHome.h"

namespace clipora {
namespace {

using platform::Data;
using platform::Error;

Data bytes(const std::string& text) { return Data(text.begin(), text.end()); }

Data zlibWrapped(const Data& input) {
    uLongf size = compressBound(static_cast<uLong>(input.size()));
    Data output(size);
    compress(output.data(), &size, input.data(), static_cast<uLong>(input.size()));
    output.resize(size);
    return output;
}

Data pseudoRandom(std::size_t n) {
    Data data(n);
    std::uint32_t x = 12345;
    for (auto& b : data) {
        x = x * 1103515245 + 12345;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return data;
}

TEST(RQDataCompressorTest, RoundTripsAndReadsBothWrappers) {
    for (const Data& input : {bytes("x"), bytes("hello hello hello"), pseudoRandom(100000), Data(1 << 20, 'a')}) {
        std::optional<Error> error;
        auto packed = RQDataCompressor::compressDataError(input, &error);
        ASSERT_TRUE(packed) << input.size();
        ASSERT_GE(packed->size(), 2u);
        EXPECT_EQ((*packed)[0], 0x1F);
        EXPECT_EQ((*packed)[1], 0x8B);
        EXPECT_EQ(RQDataDecompressor::uncompressDataError(*packed, &error), input);
        EXPECT_EQ(RQDataDecompressor::uncompressDataError(zlibWrapped(input), &error), input);
    }
    // Empty data: none, and no error.
    std::optional<Error> error;
    EXPECT_FALSE(RQDataCompressor::compressDataError({}, &error));
    EXPECT_FALSE(error);
}

TEST(RQDataCompressorTest, OneByteAtATime) {
    // A piece of one byte has room to grow: compressing and inflating byte
    // by byte (as throttled reads come) works.
    const Data input = pseudoRandom(5000);
    RQDataCompressor compressor;
    ASSERT_FALSE(compressor.setupStream());
    Data packed;
    for (std::size_t i = 0; i < input.size(); ++i) {
        std::optional<Error> error;
        auto piece = compressor.compressBytesLengthErrorShouldFinish(&input[i], 1, &error, i + 1 == input.size());
        ASSERT_TRUE(piece) << i << " " << (error ? error->localizedDescription() : "");
        packed.insert(packed.end(), piece->begin(), piece->end());
    }
    RQDataDecompressor decompressor;
    ASSERT_FALSE(decompressor.setupStream());
    Data unpacked;
    for (std::uint8_t byte : packed) {
        std::optional<Error> error;
        auto piece = decompressor.uncompressBytesLengthError(&byte, 1, &error);
        ASSERT_TRUE(piece) << (error ? error->localizedDescription() : "");
        unpacked.insert(unpacked.end(), piece->begin(), piece->end());
    }
    EXPECT_TRUE(decompressor.streamEnded());
    EXPECT_FALSE(decompressor.finishError());
    EXPECT_EQ(unpacked, input);
}

TEST(RQDataCompressorTest, GarbageTruncationAndBombsAreCode11) {
    std::optional<Error> error;
    EXPECT_FALSE(RQDataDecompressor::uncompressDataError(bytes("this is not gzip at all"), &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(RQError::is(*error, RQError::kCompression));
    EXPECT_EQ(error->localizedDescription(), "Decompression of data failed with code -3");

    // Cut short: an error, not a shorter success.
    auto packed = *RQDataCompressor::compressDataError(pseudoRandom(50000), nullptr);
    packed.resize(packed.size() / 2);
    error.reset();
    EXPECT_FALSE(RQDataDecompressor::uncompressDataError(packed, &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(RQError::is(*error, RQError::kCompression));

    // A few kilobytes that stand for 64 MiB stop at the ceiling.
    auto bomb = *RQDataCompressor::compressDataError(Data(64u << 20, 0), nullptr);
    EXPECT_LT(bomb.size(), 100000u);
    const auto previous = RQDataDecompressor::defaultMaximumOutputLength();
    RQDataDecompressor::setDefaultMaximumOutputLength(1 << 20);
    error.reset();
    EXPECT_FALSE(RQDataDecompressor::uncompressDataError(bomb, &error));
    RQDataDecompressor::setDefaultMaximumOutputLength(previous);
    ASSERT_TRUE(error);
    EXPECT_TRUE(RQError::is(*error, RQError::kCompression));
}

TEST(RQDataCompressorTest, FileToFile) {
    test::TestHome home;
    const auto source = home / "source.bin";
    const auto packed = home / "packed.gz";
    const auto unpacked = home / "unpacked.bin";
    for (std::size_t size : {std::size_t{0}, std::size_t{262144}, std::size_t{600000}}) {
        const Data content = pseudoRandom(size);
        {
            std::ofstream out(source, std::ios::binary);
            out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
        }
        std::optional<Error> error;
        ASSERT_TRUE(RQDataCompressor::compressDataFromFileToFileError(source.string(), packed.string(), &error))
            << size;
        ASSERT_TRUE(RQDataDecompressor::uncompressDataFromFileToFileError(packed.string(), unpacked.string(), &error))
            << size << " " << (error ? error->localizedDescription() : "");
        std::ifstream in(unpacked, std::ios::binary);
        Data back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(back, content) << size;
    }

    // A missing source: NO, after an empty destination was made.
    std::optional<Error> error;
    const auto missing = (home / "missing.bin").string();
    EXPECT_FALSE(RQDataCompressor::compressDataFromFileToFileError(missing, packed.string(), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription(), "Compression of " + missing + " failed the file does not exist");
    EXPECT_EQ(std::filesystem::file_size(packed), 0u);

    // A truncated compressed file does not inflate to a shorter success.
    {
        auto bytesPacked = *RQDataCompressor::compressDataError(pseudoRandom(400000), nullptr);
        bytesPacked.resize(bytesPacked.size() - 100);
        std::ofstream out(packed, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytesPacked.data()), static_cast<std::streamsize>(bytesPacked.size()));
    }
    error.reset();
    EXPECT_FALSE(RQDataDecompressor::uncompressDataFromFileToFileError(packed.string(), unpacked.string(), &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(RQError::is(*error, RQError::kCompression));
}

}  // namespace
}  // namespace clipora
