// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the decoder. Whatever decodes is also rendered
// as text, mapped as a trap and encoded again, and must decode back to the
// same message. The same bytes, read as the text of an object identifier,
// go the way an operator's identifier goes: parsed, encoded into a request
// and decoded back to the identifier that was typed.

#include "Message.h"
#include "TrapInfo.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

using namespace brellan::snmp;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void exercise(const Message& message)
{
    for (const VarBind& binding : message.bindings()) {
        (void)valueText(binding.value);
        // Every identifier the decoder yields is one the operator could type.
        check(parseOid(formatOid(binding.oid)) == binding.oid);
    }
    (void)trapInfo(message);

    const std::vector<std::uint8_t> encoded = encodeMessage(message);
    const Decoded<Message> again = decodeMessage(encoded);
    check(again.ok() && *again == message);
    // The encoder is canonical: a second pass gives the same bytes.
    check(encodeMessage(*again) == encoded);
}

void exerciseOidText(std::string_view text)
{
    const std::optional<Oid> oid = parseOid(text);
    if (!oid)
        return;
    const Decoded<Message> request = decodeMessage(encodeRequest(PduType::GetNextRequest, "mervik", 1, {*oid}));
    check(request.ok() && request->bindings().size() == 1 && request->bindings().front().oid == *oid);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Decoded<Message> result = decodeMessage(std::span<const std::uint8_t>(data, size));
    if (result)
        exercise(*result);
    exerciseOidText(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
