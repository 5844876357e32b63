// SPDX-License-Identifier: AGPL-3.0-or-later
// Page boxes and rotations as read from files: inheritance through the
// page tree, corners in any order, rotations normalised, and boxes the
// host's page units cannot hold.
#include "backend/pdf/page_units.h"
#include "pdf/pdf_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace pdftest;
using vellora::pdf::NormaliseRotation;
using vellora::pdf::RotationFromNumber;
using vellora::pdf::ToFixed;
using vellora::pdf::ToWritablePoints;

namespace {

void ExpectBox(const FixedRect& got, double l, double b, double r, double t, const char* what)
{
    EXPECT_EQ(got.left, FixedBox(l, b, r, t).left) << what;
    EXPECT_EQ(got.bottom, FixedBox(l, b, r, t).bottom) << what;
    EXPECT_EQ(got.right, FixedBox(l, b, r, t).right) << what;
    EXPECT_EQ(got.top, FixedBox(l, b, r, t).top) << what;
}

TEST(PdfGeometry, InheritedAndUnorderedBoxesAndRotations)
{
    auto doc = OpenClean(Sample("geometry.pdf"));
    ASSERT_EQ(doc->pageCount(), 5);

    // Everything from the tree: media from the root, crop (corners reversed)
    // and /Rotate 450 from the intermediate node.
    ExpectBox(doc->mediaBox(0), 0, 0, 500, 400, "page 1 media");
    ExpectBox(doc->cropBox(0), 50, 50, 450, 350, "page 1 crop");
    EXPECT_EQ(doc->rotation(0), 90);

    ExpectBox(doc->mediaBox(1), 0, 0, 612, 792, "page 2 media, corners reversed");
    ExpectBox(doc->cropBox(1), 50, 50, 450, 350, "page 2 crop, inherited");
    EXPECT_EQ(doc->rotation(1), 45) << "not a multiple of 90: as it stands";

    ExpectBox(doc->mediaBox(2), -100, -50, 300, 250, "page 3 media, mixed order");
    ExpectBox(doc->cropBox(2), -100, -50, 300, 250, "page 3 crop, mixed order");
    EXPECT_EQ(doc->rotation(2), 0) << "720";

    ExpectBox(doc->mediaBox(3), 0.5, 0.25, 612.75, 792.125, "page 4 fractional media");
    ExpectBox(doc->cropBox(3), 0.5, 0.25, 612.75, 792.125, "page 4 without crop box");
    EXPECT_EQ(doc->rotation(3), 180) << "540";

    EXPECT_EQ(doc->rotation(4), 270) << "-90 inherited from the root";
    ExpectBox(doc->boundingBox(4), 0, 0, 500, 400, "a page without marks");
}

TEST(PdfGeometry, BoxOutsidePageUnitsIsRefusedOnOpening)
{
    std::vector<std::string> warnings;
    const std::string path = Sample("huge-box.pdf");
    try {
        vellora::OpenPdfDocument(path, warnings);
        FAIL() << "opened";
    } catch (const vellora::HostError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(path + ": page 2: media box [0 0 40000 612]"), std::string::npos)
            << message;
        EXPECT_NE(message.find("outside"), std::string::npos) << message;
    }
}

TEST(PdfGeometry, PageUnitConversionsStayInRange)
{
    EXPECT_EQ(ToFixed(-32768.0), INT32_MIN);
    EXPECT_EQ(ToFixed(32767.0 + 65535.0 / 65536.0), INT32_MAX);
    EXPECT_FALSE(ToFixed(32768.0));
    EXPECT_FALSE(ToFixed(-32768.00001));
    EXPECT_FALSE(ToFixed(std::nan("")));
    EXPECT_EQ(ToFixed(0.5), 0x8000);

    // Floats carry the largest values onto the range's edge; what is
    // written must still read back as page units.
    for (Fixed f : {Fixed(INT32_MAX), Fixed(INT32_MIN), Fixed(0x7FFFFF00), Fixed(123456789)}) {
        const auto back = ToFixed(double(ToWritablePoints(f)));
        ASSERT_TRUE(back) << f;
        EXPECT_LE(std::abs(double(*back) - double(f)), 256.0) << f;
    }
}

TEST(PdfGeometry, RotationNormalisation)
{
    EXPECT_EQ(NormaliseRotation(-90), 270);
    EXPECT_EQ(NormaliseRotation(450), 90);
    EXPECT_EQ(NormaliseRotation(-720), 0);
    EXPECT_EQ(NormaliseRotation(45), 45);
    EXPECT_EQ(NormaliseRotation(-45), -45);
    EXPECT_EQ(NormaliseRotation(INT_MIN), INT_MIN);
    // Any integer a file holds is a number of degrees, reduced as readers do.
    EXPECT_EQ(RotationFromNumber(-90.0), 270);
    EXPECT_EQ(RotationFromNumber(-450.0), 270);
    EXPECT_EQ(RotationFromNumber(32768.0), 8);
    EXPECT_EQ(RotationFromNumber(2147483647.0), 127);
    EXPECT_EQ(RotationFromNumber(2147483648.0), 128);
    EXPECT_EQ(RotationFromNumber(4294967296.0), 256);
    EXPECT_EQ(RotationFromNumber(9999999999.0), 279);
    EXPECT_EQ(RotationFromNumber(-45.0), 315);
    EXPECT_EQ(RotationFromNumber(89.6), 90);
    const int huge = RotationFromNumber(1e30);
    EXPECT_TRUE(huge >= 0 && huge < 360) << huge;
    EXPECT_EQ(RotationFromNumber(std::nan("")), 0);
    EXPECT_EQ(RotationFromNumber(INFINITY), 0);
}

}  // namespace
