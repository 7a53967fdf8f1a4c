#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Sha256.h"

namespace uhf {
namespace {

struct Vector {
    std::string message;
    const char* digest;
};

class Sha256Vectors : public testing::TestWithParam<Vector> {};

// The FIPS 180-4 examples and the lengths around the padding's edge (55, 56 and 64 bytes).
TEST_P(Sha256Vectors, GivesTheKnownDigestWholeOrInPieces) {
    const std::string& text = GetParam().message;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    EXPECT_EQ(Sha256::Of(bytes, text.size()), GetParam().digest);
    Sha256 pieces;
    for (std::size_t i = 0; i < text.size(); i += 7) {
        pieces.Add(bytes + i, std::min<std::size_t>(7, text.size() - i));
    }
    EXPECT_EQ(pieces.HexDigest(), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(
    Known, Sha256Vectors,
    testing::Values(Vector{"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
                    Vector{"abc",
                           "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
                    Vector{"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                           "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
                    Vector{std::string(55, 'a'),
                           "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
                    Vector{std::string(56, 'a'),
                           "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
                    Vector{std::string(64, 'a'),
                           "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
                    Vector{std::string(1000000, 'a'),
                           "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}));

}  // namespace
}  // namespace uhf
