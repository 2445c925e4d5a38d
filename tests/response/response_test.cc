#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "response/rs_file.h"

#include "support/failure.h"

namespace kelm {
namespace {


std::int32_t code(int variable, int exponent = 1) { return exponent << (4 * (variable - 1)); }

std::string writeTemp(const std::string& name, const std::string& content) {
  const std::string path = ::testing::TempDir() + "response_test_" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::vector<double> loadedValues(const std::string& name, const std::string& content) {
  ResponseSurface model;
  RsFile(writeTemp(name, content), model);
  return model.termValues();
}

// The model in its grouped form: the constant, each group's gradient, each diagonal block
// halved, and each pair of different groups once.
double groupedValue(const ResponseSurface& rs, const double x[9]) {
  auto group = [](double a, double b) { Vector v; v.ref(1) = a; v.ref(2) = b; return v; };
  const Vector L[4] = {group(x[1], x[2]), group(x[5], x[6]), group(x[3], x[4]), group(x[7], x[8])};
  const Vector g[4] = {rs.linear1(), rs.linear2(), rs.linear3(), rs.linear4()};
  const Mathmx diagonal[4] = {rs.block11(), rs.block22(), rs.block33(), rs.block44()};
  const struct { int k, l; Mathmx block; } pairs[] = {
      {0, 1, rs.block12()}, {0, 2, rs.block13()}, {0, 3, rs.block14()},
      {1, 2, rs.block23()}, {1, 3, rs.block24()}, {2, 3, rs.block34()}};
  double f = rs.constant;
  for (int k = 0; k < 4; ++k) f += g[k].dot(L[k]) + 0.5 * L[k].dot(diagonal[k] * L[k]);
  for (const auto& p : pairs) f += L[p.k].dot(p.block * L[p.l]);
  return f;
}

// Later duplicates and codes of no quadratic term must leave the model unchanged.
TEST(ResponseSurfaceTest, GroupedModelEqualsTheFilePolynomial) {
  ResponseSurface rs;
  const double x[9] = {0, 0.3, -0.7, 0.9, 0.1, -0.4, 0.6, -0.2, 0.8};
  double coefficient = 0.5, polynomial = 0.0;
  auto term = [&](std::int32_t c, double product) {
    coefficient *= -1.07;  // all distinct, so a misplaced one shows
    rs.appendTerm(c, coefficient);
    polynomial += coefficient * product;
  };
  term(0, 1.0);
  for (int i = 1; i <= 8; ++i) {
    term(code(i), x[i]);
    term(code(i, 2), x[i] * x[i]);
    for (int j = i + 1; j <= 8; ++j) term(code(i) + code(j), x[i] * x[j]);
  }
  for (std::int32_t ignored : {0, code(1) + code(2), 0x3, 0x12, 0x111})
    rs.appendTerm(ignored, 9.0);
  rs.build();
  EXPECT_NEAR(groupedValue(rs, x), polynomial, 1e-12);
  const Mathmx h = rs.quadratic();
  for (int i = 1; i <= 8; ++i)
    for (int j = 1; j < i; ++j) EXPECT_EQ(h(i, j), h(j, i)) << i << "," << j;
}

TEST(RsFileTest, LineEndsCommentsAndTrailingWordsReadAlike) {
  const std::string lf = "# surface\n#\n0 12.5\n0x1 0.25 first\n  10001 -7.5e-1\nA -2\n";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? "\r\n" : std::string(1, c);
  const std::vector<double> expected = {12.5, 0.25, -0.75, -2.0};
  EXPECT_EQ(loadedValues("lf.rs", lf), expected);
  EXPECT_EQ(loadedValues("crlf.rs", crlf), expected);
  EXPECT_EQ(loadedValues("open.rs", lf.substr(0, lf.size() - 1)), expected);
  ResponseSurface rs;
  parseRsText(lf, rs);
  EXPECT_EQ(rs.termCodes(), (std::vector<std::int32_t>{0, 1, 0x10001, 0xA}));
}

TEST(RsFileTest, LinesLongerThan255CharactersEndRun) {
  std::string line = "1 2.5 ";
  line.resize(255, 'x');
  EXPECT_EQ(loadedValues("255lf.rs", line + "\n"), std::vector<double>{2.5});
  EXPECT_EQ(loadedValues("255crlf.rs", line + "\r\n"), std::vector<double>{2.5});
  ResponseSurface rs;
  EXPECT_FAILS_WITH(RsFile(writeTemp("256.rs", line + "x\n1 1.0\n"), rs), "^error: RsFile\n$");
  EXPECT_FAILS_WITH(RsFile(writeTemp("huge.rs", line + std::string(100000, 'x')), rs), "^error: RsFile\n$");
}

TEST(RsFileTest, MalformedOrUnreadableFileEndsRun) {
  for (const char* text : {"0 1.0\n\n1 2.0\n", " # indented\n", "1 \n", "zz 1.0\n",
                           "100000000 1.0\n", "\r\n"}) {
    ResponseSurface rs;
    EXPECT_FAILS_WITH(parseRsText(text, rs), "^error: RsFile\n$") << text;
  }
  ResponseSurface rs;
  const std::string missing = ::testing::TempDir() + "response_test_none.rs";
  for (const std::string& path : {missing, ::testing::TempDir()})
    EXPECT_FAILS_WITH(RsFile(path, rs), "^Cannot open responce surface file!\n$");
}

}  // namespace
}  // namespace kelm
