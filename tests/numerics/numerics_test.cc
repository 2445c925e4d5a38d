#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <vector>

#include "numerics/lu.h"

#include "support/failure.h"

namespace kelm {
namespace {


Vector vectorOf(const std::vector<double>& values) {
  Vector v(static_cast<int>(values.size()));
  for (int i = 1; i <= v.size(); ++i) v.ref(i) = values[i - 1];
  return v;
}

Mathmx matrixOf(int rows, int columns, const std::vector<double>& rowMajor) {
  Mathmx m(rows, columns);
  for (int i = 1; i <= rows; ++i)
    for (int j = 1; j <= columns; ++j) m.ref(i, j) = rowMajor[(i - 1) * columns + (j - 1)];
  return m;
}

void expectNear(const Vector& v, const std::vector<double>& expected, double tolerance) {
  ASSERT_EQ(v.size(), static_cast<int>(expected.size()));
  for (int i = 1; i <= v.size(); ++i) EXPECT_NEAR(v(i), expected[i - 1], tolerance) << i;
}

// Read-access messages go to standard output; a death test sees standard error only.
template <typename Body>
void onStderr(Body body) {
  std::cout.rdbuf(std::cerr.rdbuf());
  body();
}

TEST(VectorTest, GuardedAccessArithmeticAndDeepCopies) {
  Vector v;
  expectNear(v, {0, 0}, 0.0);
  EXPECT_FAILS_WITH(onStderr([&] { (void)v(0); }), "^ Warning! Out of range \\(Vector\\)\n$");
  EXPECT_FAILS_WITH(v.ref(3) = 1.0, "^Error in Vector\n$");
  expectNear(vectorOf({1, 2}) + vectorOf({3, 4}), {4, 6}, 0.0);
  EXPECT_EQ(vectorOf({1, 2}).dot(vectorOf({3, 4})), 11.0);
  EXPECT_FAILS_WITH(v.dot(Vector(3)), "^error: vector size is different!$");
  for (const std::vector<double>& values : {std::vector<double>{1, 2, 3}, {1, 2, 3, 4, 5}}) {
    const Vector original = vectorOf(values);
    Vector copy(original), assigned;
    assigned = original;
    expectNear(assigned, values, 0.0);
    copy.ref(1) = assigned.ref(2) = 9.0;
    expectNear(original, values, 0.0);
    EXPECT_EQ(Vector(std::move(copy))(1), 9.0);
  }
}

TEST(MathmxTest, LayoutTransposeProductAndGuards) {
  const Mathmx m = matrixOf(2, 3, {1, 2, 3, 4, 5, 6});
  const Mathmx t = m.transpose();
  ASSERT_EQ(t.rowCount(), 3);
  EXPECT_EQ(std::pair(t(3, 1), t(1, 2)), std::pair(3.0, 4.0));
  expectNear(m * vectorOf({1, 10, 100}), {321, 654}, 0.0);
  EXPECT_FAILS_WITH(m * vectorOf({1, 2}), "^error: matrix\\*vector : size is different!$");
  EXPECT_FAILS_WITH(onStderr([&] { (void)m(3, 1); }), "^ Warning! Out of range \\(Mathmx\\)$");
  Mathmx w(2, 2);
  EXPECT_FAILS_WITH(onStderr([&] { w.ref(1, 3) = 1.0; }), "^ Error in Math Matrix bound\n$");
}

TEST(MathmxTest, ResizeAndAssignment) {
  Mathmx same = matrixOf(2, 2, {1, 2, 3, 4});
  same.resize(2, 2);
  EXPECT_EQ(same(2, 1), 3.0);
  for (auto [rows, columns] : std::vector<std::pair<int, int>>{{2, 3}, {3, 2}, {1, 4}, {4, 4}}) {
    Mathmx m = matrixOf(2, 2, {1, 2, 3, 4});
    m.resize(rows, columns);
    ASSERT_EQ(std::pair(m.rowCount(), m.columnCount()), std::pair(rows, columns));
    for (int i = 1; i <= rows; ++i)
      for (int j = 1; j <= columns; ++j) EXPECT_EQ(m(i, j), 0.0) << rows << "x" << columns;
  }
  Mathmx big(4, 4), copy(big);
  big.ref(4, 3) = 8.0;
  same = big;  // from inline to heap storage
  copy = same;
  EXPECT_EQ(copy(4, 3), 8.0);
  same.ref(4, 3) = copy.ref(4, 3) = 0.5;
  EXPECT_EQ(big(4, 3), 8.0);
  big = matrixOf(2, 2, {5, 6, 7, 8});
  EXPECT_EQ(std::pair(big.columnCount(), big(1, 2)), std::pair(2, 6.0));
}

TEST(DeterminantTest, OrdersTwoAndThreeOnly) {
  EXPECT_EQ(determinant(matrixOf(2, 2, {1, 2, 3, 4})), -2.0);
  EXPECT_EQ(determinant(matrixOf(3, 3, {2, 1, 0, 1, 3, 1, 0, 1, 4})), 18.0);
  EXPECT_EQ(trace(matrixOf(2, 2, {1, 2, 3, 4})), 5.0);
  EXPECT_FAILS_WITH(determinant(Mathmx(4, 4)), "^error: determinant is used only for 2\x81~2 and 3\x81~3 matrix!$");
  EXPECT_FAILS_WITH(determinant(Mathmx(2, 3)), "^error: matrix is irregular!$");
  EXPECT_FAILS_WITH(trace(Mathmx(3, 2)), "^error: matrix is irregular!$");
}

TEST(LUTest, SolvesWithScaledPartialPivoting) {
  const Mathmx m = matrixOf(3, 3, {2, 1, 1, 4, -6, 0, -2, 7, 2});
  LUfactors general, swapped, scaled, singular;
  LUdecomp(general, m);
  EXPECT_EQ(m(2, 1), 4.0);
  expectNear(LUsolve(general, vectorOf({5, -2, 9})), {1, 1, 2}, 1e-14);
  expectNear(LUsolve(general, vectorOf({3, 4, 0})), {1, 0, 1}, 1e-14);
  LUdecomp(swapped, matrixOf(2, 2, {0, 1, 1, 0}));
  EXPECT_EQ(swapped.index[0], 2);
  expectNear(LUsolve(swapped, vectorOf({2, 3, 7})), {3, 2, 7}, 0.0);  // b(3) is only copied
  LUdecomp(scaled, matrixOf(2, 2, {2, 1000, 1, 1}));  // scaled, row 2's 1/1 beats 2/1000
  EXPECT_EQ(scaled.index[0], 2);
  expectNear(LUsolve(scaled, vectorOf({1002, 2})), {1, 1}, 1e-12);
  LUdecomp(singular, matrixOf(2, 2, {1, 2, 2, 4}));  // a tie goes to the later row
  EXPECT_EQ(singular.index[0], 2);
  EXPECT_EQ(singular.lu(2, 2), 1e-20);
  EXPECT_GT(std::fabs(LUsolve(singular, vectorOf({1, 1}))(2)), 1e15);
  EXPECT_FAILS_WITH(LUdecomp(general, matrixOf(3, 3, {1, 2, 3, 0, 0, 0, 4, 5, 6})), "^Singular matrix @ludecomp$");
  EXPECT_FAILS_WITH(LUdecomp(general, Mathmx(2, 3)), "^error: matrix is irregular! @LUdecomp$");
}

}  // namespace
}  // namespace kelm
