#include "formats/lwo_writer.h"

#include <limits>

#include "formats/byte_writer.h"
#include "formats/format_error.h"

namespace tarvel::formats {

std::vector<std::byte> writeLwo(const LwoObject& object, const std::string& name) {
    std::size_t formSize = 4;
    for (const LwoChunk& chunk : object.chunks) {
        if (chunk.body.size() > std::numeric_limits<std::uint32_t>::max()) {
            throw FormatError(name + ": cannot write: a chunk of more than 4 GiB");
        }
        formSize += 8 + chunk.body.size() + chunk.body.size() % 2;
    }
    if (formSize > std::numeric_limits<std::uint32_t>::max()) {
        throw FormatError(name + ": cannot write: an object of more than 4 GiB");
    }
    ByteWriter out;
    out.buffer().reserve(8 + formSize + object.trailing.size());
    out.id4(kIdForm);
    out.u4(static_cast<std::uint32_t>(formSize));
    out.id4(object.formType);
    for (const LwoChunk& chunk : object.chunks) {
        out.id4(chunk.id);
        out.u4(static_cast<std::uint32_t>(chunk.body.size()));
        out.bytes(chunk.body);
        if (chunk.body.size() % 2 != 0) {
            out.buffer().push_back(std::byte{0});
        }
    }
    out.bytes(object.trailing);
    return out.take();
}

}  // namespace tarvel::formats
