#include "playermaker/swf_walk.h"

#include <fstream>
#include <iterator>

namespace pmtest {

namespace {

class Bits {
public:
    Bits(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint32_t U(int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            std::size_t byte = bit_ / 8;
            int b = byte < size_ ? (data_[byte] >> (7 - bit_ % 8)) & 1 : 0;
            v = (v << 1) | static_cast<std::uint32_t>(b);
            ++bit_;
        }
        return v;
    }
    std::int32_t S(int n) {
        if (n == 0) return 0;
        std::uint32_t v = U(n);
        if (v & (1u << (n - 1))) v |= ~((1u << n) - 1);
        return static_cast<std::int32_t>(v);
    }
    void Align() { bit_ = (bit_ + 7) / 8 * 8; }
    std::size_t Byte() const { return bit_ / 8; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t bit_ = 0;
};

SwfMatrix ReadMatrix(Bits& bits) {
    SwfMatrix m;
    if (bits.U(1)) {
        int n = static_cast<int>(bits.U(5));
        m.scaleX = bits.S(n) / 65536.0;
        m.scaleY = bits.S(n) / 65536.0;
    }
    if (bits.U(1)) {
        int n = static_cast<int>(bits.U(5));
        bits.S(n);
        bits.S(n);
    }
    int n = static_cast<int>(bits.U(5));
    m.x = bits.S(n) / 20.0;
    m.y = bits.S(n) / 20.0;
    bits.Align();
    return m;
}

// Skips a CXFORMWITHALPHA.
void SkipColourTransform(Bits& bits) {
    bool add = bits.U(1), mult = bits.U(1);
    int n = static_cast<int>(bits.U(4));
    if (mult) bits.U(4 * n);
    if (add) bits.U(4 * n);
    bits.Align();
}

}  // namespace

SwfMovie ReadSwf(const std::string& path) {
    SwfMovie movie;
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (d.size() < 21 || d[0] != 'F' || d[1] != 'W' || d[2] != 'S') {
        movie.error = "not an uncompressed SWF";
        return movie;
    }
    movie.version = d[3];
    Bits header(d.data() + 8, d.size() - 8);
    int n = static_cast<int>(header.U(5));
    int xmin = header.S(n), xmax = header.S(n), ymin = header.S(n), ymax = header.S(n);
    header.Align();
    movie.width = (xmax - xmin) / 20.0;
    movie.height = (ymax - ymin) / 20.0;
    std::size_t pos = 8 + header.Byte();
    movie.frameRate = d[pos + 1] + d[pos] / 256.0;
    movie.frameCount = d[pos + 2] | (d[pos + 3] << 8);
    pos += 4;

    std::map<int, int> definedBy;  // character id -> tag code
    std::map<int, SwfItem> list;
    int frame = 0, removals = 0, actions = 0;
    while (pos + 2 <= d.size()) {
        int codeLen = d[pos] | (d[pos + 1] << 8);
        pos += 2;
        int code = codeLen >> 6;
        std::size_t len = codeLen & 0x3F;
        if (len == 0x3F) {
            if (pos + 4 > d.size()) break;
            len = d[pos] | (d[pos + 1] << 8) | (d[pos + 2] << 16) | (static_cast<std::size_t>(d[pos + 3]) << 24);
            pos += 4;
        }
        if (pos + len > d.size()) {
            movie.error = "tag runs past the end";
            return movie;
        }
        SwfTag tag{code, frame, std::vector<std::uint8_t>(d.begin() + pos, d.begin() + pos + len)};
        pos += len;
        const auto& b = tag.body;
        if (code == 0) break;
        switch (code) {
            case 1:  // ShowFrame
                movie.frames.push_back(list);
                movie.removalsPerFrame.push_back(removals);
                movie.actionsPerFrame.push_back(actions);
                removals = actions = 0;
                ++frame;
                break;
            case 12:  // DoAction
                ++actions;
                break;
            case 28:  // RemoveObject2
                if (b.size() >= 2) list.erase(b[0] | (b[1] << 8));
                ++removals;
                break;
            case 26: {  // PlaceObject2
                if (b.size() < 3) break;
                int flags = b[0];
                int depth = b[1] | (b[2] << 8);
                std::size_t p = 3;
                SwfItem item = (flags & 0x01) && list.count(depth) ? list[depth] : SwfItem{};
                if (flags & 0x02) {
                    item.character = b[p] | (b[p + 1] << 8);
                    item.characterTag = definedBy[item.character];
                    p += 2;
                }
                Bits bits(b.data() + p, b.size() - p);
                if (flags & 0x04) item.matrix = ReadMatrix(bits);
                if (flags & 0x08) SkipColourTransform(bits);
                p += bits.Byte();
                if (flags & 0x10) p += 2;  // ratio
                if (flags & 0x20) {
                    std::string name;
                    while (p < b.size() && b[p]) name += static_cast<char>(b[p++]);
                    item.name = name;
                }
                list[depth] = item;
                break;
            }
            default:
                // Definitions start with their character id.
                if (b.size() >= 2 && (code == 2 || code == 22 || code == 32 || code == 83 || code == 7 ||
                                      code == 34 || code == 11 || code == 33 || code == 39 || code == 60 ||
                                      code == 6 || code == 21 || code == 35 || code == 20 || code == 36 ||
                                      code == 10 || code == 48 || code == 75 || code == 37)) {
                    definedBy[b[0] | (b[1] << 8)] = code;
                }
        }
        movie.tags.push_back(std::move(tag));
    }
    movie.ok = true;
    return movie;
}

}  // namespace pmtest
