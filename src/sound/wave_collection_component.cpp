#include "sound/wave_collection_component.h"

#include <cstring>

#include "platform/files.h"
#include "sound/wave.h"
#include "sound/wave_collection.h"

namespace groovane {

namespace {

// Value tags of the component stream.
enum ValueTag : uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaLString = 12,
    vaCollection = 14,
};

constexpr uint8_t kResourceTypeMarker = 0xFF;
constexpr uint16_t kResourceTypeRcData = 10;
constexpr uint16_t kResourceFlags = 0x1030;
constexpr int kResourceHeaderMax = 79;

class Writer {
public:
    void byte(uint8_t b) { out.push_back(char(b)); }
    void u16(uint16_t v)
    {
        byte(uint8_t(v));
        byte(uint8_t(v >> 8));
    }
    void u32(uint32_t v)
    {
        u16(uint16_t(v));
        u16(uint16_t(v >> 16));
    }
    void raw(const std::string& s) { out += s; }
    // A property or class name: u8 length and the characters.
    void shortName(const std::string& s)
    {
        byte(uint8_t(s.size()));
        raw(s.substr(0, 255));
    }
    void stringValue(const std::string& s)
    {
        if (s.size() <= 255) {
            byte(vaString);
            byte(uint8_t(s.size()));
        } else {
            byte(vaLString);
            u32(uint32_t(s.size()));
        }
        raw(s);
    }

    std::string out;
};

class Reader {
public:
    explicit Reader(TStream& stream) : stream_(stream) {}

    uint8_t byte()
    {
        uint8_t b;
        stream_.ReadBuffer(&b, 1);
        return b;
    }
    uint32_t uint(int width)
    {
        uint32_t v = 0;
        for (int i = 0; i < width; ++i)
            v |= uint32_t(byte()) << (8 * i);
        return v;
    }
    // Reads `count` bytes, refusing a count the stream cannot hold before allocating for it.
    std::string bytes(int64_t count)
    {
        if (count > stream_.Size() - stream_.Position())
            throw EReadError("Stream read error");
        std::string s(size_t(count), '\0');
        stream_.ReadBuffer(s.data(), count);
        return s;
    }
    std::string shortName() { return bytes(byte()); }
    uint8_t peek()
    {
        const uint8_t b = byte();
        stream_.Seek(-1, soFromCurrent);
        return b;
    }
    bool endOfList()
    {
        if (peek() != vaNull)
            return false;
        byte();
        return true;
    }
    void expect(uint8_t tag)
    {
        if (byte() != tag)
            throw EReadError("Invalid property value");
    }
    std::string stringValue()
    {
        switch (byte()) {
        case vaString:
        case vaIdent:
            return bytes(byte());
        case vaLString:
            return bytes(uint(4));
        default:
            throw EReadError("Invalid property value");
        }
    }
    bool boolValue()
    {
        switch (byte()) {
        case vaFalse:
            return false;
        case vaTrue:
            return true;
        default:
            throw EReadError("Invalid property value");
        }
    }

    void resourceHeader()
    {
        const int64_t start = stream_.Position();
        uint8_t header[kResourceHeaderMax] = {};
        const int64_t got = stream_.Read(header, kResourceHeaderMax);
        if (got < 3 || header[0] != kResourceTypeMarker || (header[1] | header[2] << 8) != kResourceTypeRcData)
            throw EInvalidStreamFormat("Invalid stream format");
        // The name runs to its terminating zero; flags and length follow and are not examined.
        const void* end = std::memchr(header + 3, 0, size_t(got - 3));
        if (!end)
            throw EInvalidStreamFormat("Invalid stream format");
        const int64_t nameEnd = static_cast<const uint8_t*>(end) - header + 1;
        stream_.SetPosition(start + nameEnd + 6);
    }

    void signature()
    {
        char sig[4];
        stream_.ReadBuffer(sig, 4);
        if (std::memcmp(sig, "TPF0", 4) != 0)
            throw EInvalidStreamFormat("Invalid stream format");
    }

private:
    TStream& stream_;
};

void writeItem(Writer& w, const TWaveCollectionItem& item)
{
    w.byte(vaList);
    if (!item.Name().empty()) {
        w.shortName("Name");
        w.stringValue(item.Name());
    }
    w.shortName("Looped");
    w.byte(item.Looped() ? vaTrue : vaFalse);
    w.shortName("Wave.WAVE");
    w.byte(vaBinary);
    const std::string image = item.Wave().PropertyBytes();
    w.u32(uint32_t(image.size()));
    w.raw(image);
    w.byte(vaNull);
}

void readItem(Reader& r, TWaveCollectionItem& item)
{
    while (!r.endOfList()) {
        const std::string property = r.shortName();
        if (equalsIgnoreCase(property, "Name")) {
            item.SetName(r.stringValue());
        } else if (equalsIgnoreCase(property, "Looped")) {
            item.SetLooped(r.boolValue());
        } else if (equalsIgnoreCase(property, "Wave.WAVE")) {
            r.expect(vaBinary);
            item.Wave().LoadPropertyBytes(r.bytes(r.uint(4)));
        } else {
            throw EReadError("Property does not exist");
        }
    }
}

} // namespace

std::string TWaveCollectionComponent::ResourceBytes(const std::string& resourceName)
{
    Writer body;
    body.raw("TPF0");
    body.shortName("TWaveCollectionComponent");
    body.shortName("");
    body.shortName("List");
    body.byte(vaCollection);
    for (int i = 0; i < list_.Count(); ++i)
        writeItem(body, list_.Items(i));
    body.byte(vaNull); // end of the collection
    body.byte(vaNull); // end of the component's properties
    body.byte(vaNull); // end of the component's child list

    Writer header;
    header.byte(kResourceTypeMarker);
    header.u16(kResourceTypeRcData);
    header.raw(toUpperAscii(resourceName));
    header.byte(0);
    header.u16(kResourceFlags);
    header.u32(uint32_t(body.out.size()));
    return header.out + body.out;
}

void TWaveCollectionComponent::WriteResource(TStream& stream, const std::string& resourceName)
{
    const std::string bytes = ResourceBytes(resourceName);
    stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
}

void TWaveCollectionComponent::ReadResource(TStream& stream)
{
    Reader r(stream);
    r.resourceHeader();
    r.signature();
    r.shortName(); // class name
    r.shortName(); // component name
    int sounds = 0;
    while (!r.endOfList()) {
        const std::string property = r.shortName();
        if (!equalsIgnoreCase(property, "List"))
            throw EReadError("Property does not exist");
        r.expect(vaCollection);
        while (!r.endOfList()) {
            const uint8_t tag = r.peek();
            if (tag == vaInt8 || tag == vaInt16 || tag == vaInt32) {
                r.byte();
                r.uint(tag == vaInt8 ? 1 : tag == vaInt16 ? 2 : 4);
            }
            r.expect(vaList);
            if (++sounds > kMaxKitSounds)
                throw EReadError("Kit has too many sounds: a kit holds at most " + std::to_string(kMaxKitSounds) +
                                 " sounds");
            readItem(r, list_.Add());
        }
    }
    r.expect(vaNull); // end of the child list
}

} // namespace groovane
