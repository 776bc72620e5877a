// Reading a mesh from a stream stops where the file's header says it ends, and refuses a
// stream that is not the format it is read as before reading much of it.
#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/tarvel_program.h"
#include "formats/format_error.h"
#include "formats/mesh_stream.h"

namespace tarvel::formats {
namespace {

/// An endless stream of one byte, counting what was taken from it.
class EndlessBytes : public std::streambuf {
public:
    explicit EndlessBytes(char byte) : block_(4096, byte) {}
    std::size_t taken = 0;

protected:
    int_type underflow() override {
        taken += block_.size();
        setg(block_.data(), block_.data(), block_.data() + block_.size());
        return traits_type::to_int_type(block_.front());
    }

private:
    std::string block_;
};

std::string formHeader(std::uint32_t size) {
    std::string header = "FORM";
    for (int shift = 24; shift >= 0; shift -= 8) {
        header += static_cast<char>((size >> shift) & 0xFF);
    }
    return header;
}

std::string refusal(std::istream& in, MeshFormat format) {
    try {
        readMeshStream(in, format, "stream");
    } catch (const FormatError& error) {
        return error.what();
    }
    return "read";
}

TEST(BoundedReadingTest, anEndlessStreamThatIsNotTheFormatIsRefusedAtOnce) {
    EndlessBytes zeros('\0');
    std::istream asLwo(&zeros);
    EXPECT_EQ(refusal(asLwo, MeshFormat::lwo), "stream: not a LightWave object: no FORM header");
    EXPECT_LE(zeros.taken, std::size_t{1} << 16);

    EndlessBytes moreZeros('\0');
    std::istream asObj(&moreZeros);
    EXPECT_EQ(refusal(asObj, MeshFormat::obj), "stream: not an OBJ text file: byte 0 is a NUL");
    EXPECT_LE(moreZeros.taken, std::size_t{1} << 16);
}

TEST(BoundedReadingTest, aLightWaveStreamIsReadNoFurtherThanItsFormPromises) {
    const std::string body = "LWO2" + std::string(20, 'x');
    std::istringstream in(formHeader(static_cast<std::uint32_t>(body.size())) + body +
                          std::string(1000, 'y'));
    const std::vector<std::byte> bytes = readMeshStream(in, MeshFormat::lwo, "stream");
    // The FORM and one byte more, so that the reader sees that something follows.
    EXPECT_EQ(bytes.size(), 8 + body.size() + 1);
    EXPECT_EQ(in.tellg(), static_cast<std::streamoff>(bytes.size()));

    // A FORM that promises far more than comes is read as far as it goes.
    std::istringstream shortStream(formHeader(1u << 30) + "LWO2");
    EXPECT_EQ(readMeshStream(shortStream, MeshFormat::lwo, "stream").size(), 12u);
}

TEST(BoundedReadingTest, aNulInTextIsRefusedWhereverItComes) {
    std::istringstream in(std::string(100000, 'v') + '\0' + "rest");
    EXPECT_EQ(refusal(in, MeshFormat::obj), "stream: not an OBJ text file: byte 100000 is a NUL");
}

TEST(BoundedReadingTest, devZeroIsRefusedByBothCommands) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", "/dev/zero", "--format", "lwo"},
          std::vector<std::string>{"run", "/dev/zero", "--format", "obj", "--all", "--dry-run"}}) {
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        tarvel::cli::Console console{in, out, err};
        EXPECT_EQ(tarvel::cli::runTarvel(args, TARVEL_MODULE_FILE, console),
                  tarvel::cli::kExitInputError);
        EXPECT_NE(err.str().find("/dev/zero: not a"), std::string::npos) << err.str();
    }
}

}  // namespace
}  // namespace tarvel::formats
