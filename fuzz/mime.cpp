// Base64 and MIME header words. Encoding then decoding gives the bytes back.
#include "commands/encodings/base64.h"
#include "commands/encodings/jconvert.h"
#include "fuzz_target.h"

void FuzzSetUp() {}

void FuzzOne(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string enc = Base64Encode(text);
    fuzz::Check(enc.size() == (size + 2) / 3 * 4, "Base64 length");
    fuzz::Check(Base64Decode(enc) == text, "Base64 round trip");
    (void)Base64Decode(text);
    (void)MimeDecodeHeader(text);
    const std::string header = MimeEncodeHeader(text);
    (void)MimeDecodeHeader(header);
}
