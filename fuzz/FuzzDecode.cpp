// Feeds arbitrary bytes to the decoder. Whatever decodes is also rendered
// as text, mapped as a trap and encoded again, and must decode back to the
// same message.

#include "Message.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <variant>

using namespace brellan::snmp;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void exercise(const Message& message)
{
    for (const VarBind& binding : message.bindings) {
        (void)valueText(binding.value);
        // Every identifier the decoder yields is one the operator could type.
        check(parseOid(formatOid(binding.oid)) == binding.oid);
    }
    (void)trapInfo(message);

    const std::vector<std::uint8_t> encoded = encodeMessage(message);
    const DecodeResult again = decodeMessage(encoded);
    const Message* decoded = std::get_if<Message>(&again);
    check(decoded != nullptr && *decoded == message);
    // The encoder is canonical: a second pass gives the same bytes.
    check(encodeMessage(*decoded) == encoded);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const DecodeResult result = decodeMessage(std::span<const std::uint8_t>(data, size));
    if (const Message* message = std::get_if<Message>(&result))
        exercise(*message);
    return 0;
}
