#include "variant.h"

#include <gtest/gtest.h>

#include "twain.h"

TEST(Variant, KindsAndConversions) {
  EXPECT_EQ(Variant().Kind(), Variant::TKind::Integer);
  EXPECT_EQ(Variant(uint16_t{5}).Kind(), Variant::TKind::Integer);
  EXPECT_EQ(Variant(2.5).Kind(), Variant::TKind::Double);
  EXPECT_EQ(Variant(true).Kind(), Variant::TKind::Boolean);
  EXPECT_EQ(Variant("abc").Kind(), Variant::TKind::Text);
  EXPECT_EQ(Variant(TWDE_PAPERJAM).Kind(), Variant::TKind::Integer);
  EXPECT_EQ(Variant(TWDE_PAPERJAM).AsInteger(), 13);

  EXPECT_EQ(Variant(2.5).AsInteger(), 2);
  EXPECT_EQ(Variant(3.5).AsInteger(), 4);
  EXPECT_EQ(Variant(-2.5).AsInteger(), -2);
  EXPECT_EQ(Variant(true).AsInteger(), -1);
  EXPECT_EQ(Variant(" 42 ").AsInteger(), 42);
  EXPECT_EQ(Variant("1.5").AsInteger(), 2);
  EXPECT_EQ(Variant("0.25").AsDouble(), 0.25);
  EXPECT_TRUE(Variant("TRUE").AsBoolean());
  EXPECT_FALSE(Variant("0").AsBoolean());
  EXPECT_TRUE(Variant(0.1).AsBoolean());
  EXPECT_EQ(Variant(false).AsString(), "False");
  EXPECT_EQ(Variant(-7).AsString(), "-7");
  EXPECT_EQ(Variant(0.5).AsString(), "0.5");
}

TEST(Variant, TextThatIsNoNumberRaises) {
  EXPECT_THROW(Variant("abc").AsInteger(), EVariantTypeCastError);
  EXPECT_THROW(Variant("").AsDouble(), EVariantTypeCastError);
  EXPECT_THROW(Variant("nan").AsDouble(), EVariantTypeCastError);
  EXPECT_THROW(Variant("yes").AsBoolean(), EVariantTypeCastError);
  EXPECT_THROW((void)(Variant("abc") == Variant(1)), EVariantTypeCastError);
  EXPECT_THROW(Variant(1e300).AsInteger(), Exception);
}

TEST(Variant, ComparesAcrossKinds) {
  EXPECT_TRUE(Variant(300) == Variant(300.0));
  EXPECT_TRUE(Variant(150) == Variant("150"));
  EXPECT_TRUE(Variant(true) == Variant(-1));
  EXPECT_TRUE(Variant(2) < Variant(2.5));
  EXPECT_TRUE(Variant(-1) < Variant(0));
  EXPECT_TRUE(Variant("abc") < Variant("abd"));
  EXPECT_FALSE(Variant("abc") == Variant("ABC"));
  EXPECT_TRUE(Variant(int64_t{1} << 40) > Variant(int64_t{1} << 39));
}

TEST(Variant, Arithmetic) {
  Variant sum = Variant(50) + Variant(100);
  EXPECT_EQ(sum.Kind(), Variant::TKind::Integer);
  EXPECT_EQ(sum.AsInteger(), 150);
  EXPECT_EQ((Variant(1) + Variant(0.5)).AsDouble(), 1.5);
  EXPECT_EQ((Variant("ab") + Variant("cd")).AsString(), "abcd");
  EXPECT_EQ((Variant(7) - Variant("2")).AsDouble(), 5.0);
  EXPECT_EQ((Variant(6) * Variant(7)).AsInteger(), 42);
  Variant quotient = Variant(7) / Variant(2);
  EXPECT_EQ(quotient.Kind(), Variant::TKind::Double);
  EXPECT_EQ(quotient.AsDouble(), 3.5);
  EXPECT_THROW(Variant(1) / Variant(0), Exception);
  EXPECT_THROW(Variant(INT64_MAX) + Variant(1), Exception);
  EXPECT_THROW(Variant(1e308) * Variant(10.0), Exception);
}
