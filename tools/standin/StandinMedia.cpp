#include "tools/standin/StandinMedia.h"

#include <stdexcept>
#include <vector>

#include <zlib.h>

namespace clipora::standin {

namespace {

std::uint32_t fnv1a(std::string_view text) {
    std::uint32_t hash = 2166136261u;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

void put32(std::string& out, std::uint32_t v) {
    out += static_cast<char>((v >> 24) & 0xFF);
    out += static_cast<char>((v >> 16) & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
}

void put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
}

void zeros(std::string& out, std::size_t n) { out.append(n, '\0'); }

std::string box(std::string_view type, const std::string& payload) {
    std::string out;
    put32(out, static_cast<std::uint32_t>(8 + payload.size()));
    out += type;
    out += payload;
    return out;
}

std::string fullBox(std::string_view type, std::uint8_t version, std::uint32_t flags, const std::string& payload) {
    std::string head;
    put32(head, (static_cast<std::uint32_t>(version) << 24) | (flags & 0xFFFFFF));
    return box(type, head + payload);
}

// The unity transformation matrix of movie and track headers.
void matrix(std::string& out) {
    const std::uint32_t m[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
    for (auto v : m) put32(out, v);
}

}  // namespace

std::string StandinMedia::mp4(std::string_view seed, std::size_t mediaBytes, std::uint32_t width,
                              std::uint32_t height) {
    const std::uint32_t timescale = 1000;
    const std::uint32_t duration = 2000;  // two seconds

    std::string ftypPayload = "isom";
    put32(ftypPayload, 0x200);
    ftypPayload += "isomiso2mp41";
    std::string ftyp = box("ftyp", ftypPayload);

    std::string mvhd;
    put32(mvhd, 0);  // creation time
    put32(mvhd, 0);  // modification time
    put32(mvhd, timescale);
    put32(mvhd, duration);
    put32(mvhd, 0x00010000);  // rate 1.0
    put16(mvhd, 0x0100);      // volume 1.0
    zeros(mvhd, 10);
    matrix(mvhd);
    zeros(mvhd, 24);
    put32(mvhd, 2);  // next track id

    std::string tkhd;
    put32(tkhd, 0);
    put32(tkhd, 0);
    put32(tkhd, 1);  // track id
    put32(tkhd, 0);
    put32(tkhd, duration);
    zeros(tkhd, 8);
    put16(tkhd, 0);  // layer
    put16(tkhd, 0);  // alternate group
    put16(tkhd, 0);  // volume (video)
    put16(tkhd, 0);
    matrix(tkhd);
    put32(tkhd, width << 16);
    put32(tkhd, height << 16);

    std::string mdhd;
    put32(mdhd, 0);
    put32(mdhd, 0);
    put32(mdhd, timescale);
    put32(mdhd, duration);
    put16(mdhd, 0x55C4);  // language "und"
    put16(mdhd, 0);

    std::string hdlr;
    put32(hdlr, 0);
    hdlr += "vide";
    zeros(hdlr, 12);
    hdlr += "VideoHandler";
    hdlr += '\0';

    std::string vmhd;
    zeros(vmhd, 8);
    std::string urlEntry = fullBox("url ", 0, 1, "");
    std::string drefPayload;
    put32(drefPayload, 1);
    drefPayload += urlEntry;
    std::string dinf = box("dinf", fullBox("dref", 0, 0, drefPayload));

    std::string stsd;
    put32(stsd, 0);  // no sample descriptions: the data is filler
    std::string stts;
    put32(stts, 1);
    put32(stts, 1);
    put32(stts, duration);
    std::string stsc;
    put32(stsc, 1);
    put32(stsc, 1);
    put32(stsc, 1);
    put32(stsc, 1);
    std::string stsz;
    put32(stsz, static_cast<std::uint32_t>(mediaBytes));
    put32(stsz, 1);

    // The chunk offset depends on the size of moov, which holds it; the
    // field has a fixed width, so build once with 0 and patch.
    auto build = [&](std::uint32_t chunkOffset) {
        std::string stco;
        put32(stco, 1);
        put32(stco, chunkOffset);
        std::string stbl =
            box("stbl", fullBox("stsd", 0, 0, stsd) + fullBox("stts", 0, 0, stts) + fullBox("stsc", 0, 0, stsc) +
                            fullBox("stsz", 0, 0, stsz) + fullBox("stco", 0, 0, stco));
        std::string minf = box("minf", fullBox("vmhd", 0, 1, vmhd) + dinf + stbl);
        std::string mdia = box("mdia", fullBox("mdhd", 0, 0, mdhd) + fullBox("hdlr", 0, 0, hdlr) + minf);
        std::string trak = box("trak", fullBox("tkhd", 0, 3, tkhd) + mdia);
        return box("moov", fullBox("mvhd", 0, 0, mvhd) + trak);
    };
    std::string moov = build(0);
    moov = build(static_cast<std::uint32_t>(ftyp.size() + moov.size() + 8));

    std::string media;
    media.reserve(mediaBytes);
    std::uint32_t state = fnv1a(seed) | 1u;
    for (std::size_t i = 0; i < mediaBytes; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        media += static_cast<char>(state & 0xFF);
    }
    return ftyp + moov + box("mdat", media);
}

std::string StandinMedia::png(std::string_view seed, std::uint32_t width, std::uint32_t height) {
    if (width == 0 || height == 0) throw std::invalid_argument("StandinMedia::png: empty image");
    std::uint32_t hash = fnv1a(seed);
    const unsigned char a[3] = {static_cast<unsigned char>(hash), static_cast<unsigned char>(hash >> 8),
                                static_cast<unsigned char>(hash >> 16)};
    const unsigned char b[3] = {static_cast<unsigned char>(255 - a[0]), static_cast<unsigned char>(255 - a[1]),
                                static_cast<unsigned char>(255 - a[2])};
    std::vector<unsigned char> raw;
    raw.reserve(static_cast<std::size_t>(height) * (1 + width * 3));
    for (std::uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);  // filter: none
        for (std::uint32_t x = 0; x < width; ++x) {
            const unsigned char* c = ((x / 8 + y / 8) % 2 == 0) ? a : b;
            raw.insert(raw.end(), c, c + 3);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) {
        throw std::runtime_error("StandinMedia::png: compression failed");
    }
    packed.resize(packedSize);

    auto chunk = [](std::string_view type, const std::string& data) {
        std::string out;
        put32(out, static_cast<std::uint32_t>(data.size()));
        std::string body = std::string(type) + data;
        out += body;
        put32(out, static_cast<std::uint32_t>(
                       crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
        return out;
    };
    std::string ihdr;
    put32(ihdr, width);
    put32(ihdr, height);
    ihdr += static_cast<char>(8);  // bit depth
    ihdr += static_cast<char>(2);  // colour type: RGB
    ihdr += '\0';                  // compression
    ihdr += '\0';                  // filter
    ihdr += '\0';                  // no interlace
    std::string out = "\x89PNG\r\n\x1a\n";
    out += chunk("IHDR", ihdr);
    out += chunk("IDAT", std::string(packed.begin(), packed.end()));
    out += chunk("IEND", "");
    return out;
}

}  // namespace clipora::standin
