// The detector: where a symbol is, one hypothesis with its centre, disc, pitch and rim; where
// there is none (noise, texture, text, look-alike rings), none at all.
#include "decoder/search/Detector.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Angles.h"
#include "support/RoundTrip.h"
#include "support/SymbolFixtures.h"

namespace qcl {
namespace {

std::vector<Hypothesis> detect(const cv::Mat& image) {
    SearchImage picture(image);
    return detectSymbols(picture);
}

// The hypothesis centred within `tolerance` px of `centre`, if any (a copy: callers pass the
// detector's result as it comes).
std::optional<Hypothesis> near(const std::vector<Hypothesis>& found, cv::Point2d centre,
                               double tolerance) {
    const auto it = std::find_if(found.begin(), found.end(), [&](const Hypothesis& h) {
        return cv::norm(h.center - centre) < tolerance;
    });
    return it == found.end() ? std::nullopt : std::optional<Hypothesis>(*it);
}

// A written symbol of `diameter` px, then `photograph`ed, placed at `topLeft` on white paper.
struct Scene {
    cv::Mat image;
    SymbolGeometry geometry;  // in the scene's pixels
};

Scene symbolScene(cv::Size paper, double diameter, cv::Point topLeft,
                  const std::function<cv::Mat(const cv::Mat&)>& photograph = nullptr) {
    test::SeededRandom random(5);
    writer::SymbolOptions options;
    options.modulesPerRing = 48;
    options.ringCount = 4;
    RenderOptions render;
    render.diameter = diameter;
    render.startAngle = 0.9;
    const test::WrittenSymbol written = test::writeSymbol(
        test::fillingPayload(PayloadType::Letters, options, 0.6, random), options, render);
    Scene scene{cv::Mat(paper, CV_8UC3, cv::Scalar::all(255)), written.geometry};
    written.image.copyTo(scene.image(cv::Rect(topLeft, written.image.size())));
    scene.geometry.center += cv::Point2d(topLeft);
    if (photograph) {
        scene.image = photograph(scene.image);
    }
    return scene;
}

TEST(Detector, SymbolGivesOneHypothesisWithItsMeasures) {
    struct Case {
        const char* name;
        cv::Size paper;
        double diameter;
        cv::Point topLeft;
        std::function<cv::Mat(const cv::Mat&)> photograph;
        Evidence least;
    };
    const auto blur = [](double sigma) {
        return [sigma](const cv::Mat& im) { return test::gaussianBlur(im, sigma); };
    };
    const Case cases[] = {
        {"large, centred", {640, 640}, 560, {30, 30}, nullptr, Evidence::OuterZebra},
        {"small, off centre", {640, 640}, 160, {400, 60}, nullptr, Evidence::OuterZebra},
        {"noisy and JPEG",
         {640, 640},
         300,
         {170, 170},
         [](const cv::Mat& im) {
             return test::jpegRoundTrip(test::addGaussianNoise(im, 8, 3), 40);
         },
         Evidence::InnerZebra},
        // Merged notches: only the disc in its dark surroundings and the quiet zone show.
        {"blurred", {640, 640}, 200, {220, 220}, blur(2.5), Evidence::Disc},
        // Looked at at half size, mapped back to the caller's pixels.
        {"in a 4000 x 3000 photo", {4000, 3000}, 400, {2900, 300}, nullptr, Evidence::Marker},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Scene scene = symbolScene(c.paper, c.diameter, c.topLeft, c.photograph);
        const std::vector<Hypothesis> found = detect(scene.image);
        const SymbolGeometry& g = scene.geometry;
        const std::optional<Hypothesis> h = near(found, g.center, 0.3 * g.discRadius);
        ASSERT_TRUE(h.has_value());
        EXPECT_EQ(found.size(), 1u);
        EXPECT_GE(h->evidence, c.least);
        EXPECT_NEAR(h->discRadius, g.discRadius, 0.15 * g.discRadius);
        EXPECT_NEAR(h->pitch, g.pitch, 0.3 * g.pitch);
        const double rim = g.discRadius + (g.ringCount + 3) * g.pitch;
        EXPECT_NEAR(h->outerRadius, rim, 0.08 * rim);
        EXPECT_TRUE(h->quietZone);
    }
}

TEST(Detector, RimOfASmallRotatedSymbolWhoseMarkerBreaks) {
    // Nine rings at 120 px: resampled at these angles the thin marker breaks at a third of its
    // length; the hypothesis's rim must still reach the symbol's, or its view cuts the symbol
    // off (a rim a little too large only widens the view's margin).
    const std::string text = "K7#q!vR2@xY9&mB4$tW6*pL1^zN8(cF3)hJ5+dS0=gU2-e";
    RenderOptions render;
    render.imageSize = cv::Size(640, 640);
    const test::WrittenSymbol written = test::writeSymbol(text, writer::SymbolOptions{}, render);
    const SymbolGeometry& g = written.geometry;
    const double scale = 120.0 / 640.0;
    const double rim = (g.discRadius + (g.ringCount + 3) * g.pitch) * scale;
    cv::Mat small;
    cv::resize(written.image, small, cv::Size(120, 120), 0, 0, cv::INTER_AREA);
    cv::Mat centred(640, 640, CV_8UC3, cv::Scalar::all(255));
    small.copyTo(centred(cv::Rect(260, 260, 120, 120)));
    for (const double degrees : {45.0, 135.0, 225.0, 315.0}) {
        const cv::Mat image = test::rotateAndScale(centred, degrees * kPi / 180.0, 1.0);
        const std::optional<Hypothesis> h = near(detect(image), cv::Point2d(319.5, 319.5), 2.0);
        ASSERT_TRUE(h.has_value()) << degrees;
        EXPECT_GT(h->outerRadius, 0.97 * rim) << degrees;
        EXPECT_LT(h->outerRadius, 1.12 * rim) << degrees;
    }
}

// At 120 px a symbol's disc is a few pixels across and its notches merge: only a closer look at
// the disc, enlarged, shows the zebra, the marker and the quiet zone under a shadow's edge or a
// short smear.
TEST(Detector, SmallSymbolWhoseNotchesMerge) {
    RenderOptions render;
    render.imageSize = cv::Size(640, 640);
    const test::WrittenSymbol written =
        test::writeSymbol("K7#q!vR2@xY9&mB4$tW6*pL1^zN8", writer::SymbolOptions{}, render);
    cv::Mat small;
    cv::resize(written.image, small, cv::Size(120, 120), 0, 0, cv::INTER_AREA);
    cv::Mat centred(640, 640, CV_8UC3, cv::Scalar::all(255));
    small.copyTo(centred(cv::Rect(260, 260, 120, 120)));

    cv::Mat shadowed = centred.clone();
    // A hard shadow of half depth over the upper left, its edge across the inner zebra.
    for (int y = 0; y < 640; ++y) {
        for (int x = 0; x < 600 - y; ++x) {
            shadowed.at<cv::Vec3b>(y, x) *= 0.5;
        }
    }
    cv::Mat smeared;
    const cv::Mat line = cv::Mat::ones(5, 1, CV_32F) / 5.0;  // a 5 px vertical smear
    cv::filter2D(centred, smeared, -1, line);
    EXPECT_TRUE(near(detect(shadowed), cv::Point2d(319.5, 319.5), 3.0).has_value());
    EXPECT_TRUE(near(detect(smeared), cv::Point2d(319.5, 319.5), 3.0).has_value());
}

// A small symbol seen at a slant: its disc is narrower across than the least radius the scan
// takes, and only the scan for slanted tiny discs, with a closer look, finds it.
TEST(Detector, SmallSymbolSeenAtASlant) {
    RenderOptions render;
    render.imageSize = cv::Size(640, 640);
    const test::WrittenSymbol written =
        test::writeSymbol("K7#q!vR2@xY9&mB4$tW6*pL1^zN8", writer::SymbolOptions{}, render);
    struct Case {
        int height;     // px
        double squash;  // width over height: the cosine of the slant
    };
    for (const Case c : {Case{120, 0.7}, Case{140, 0.6}, Case{160, 0.5}}) {
        cv::Mat small;
        const int width = static_cast<int>(c.height * c.squash);
        cv::resize(written.image, small, cv::Size(width, c.height), 0, 0, cv::INTER_AREA);
        cv::Mat page(640, 640, CV_8UC3, cv::Scalar::all(255));
        small.copyTo(page(cv::Rect(320 - width / 2, 320 - c.height / 2, width, c.height)));
        EXPECT_TRUE(near(detect(page), cv::Point2d(319.5, 319.5), 3.0).has_value()) << c.height;
    }
    // A 120 px symbol on a page tilted 45 degrees: its disc's mean radius is below the least disc
    // radius, its longer axis is not.
    cv::Mat small;
    cv::resize(written.image, small, cv::Size(120, 120), 0, 0, cv::INTER_AREA);
    cv::Mat page(640, 640, CV_8UC3, cv::Scalar::all(255));
    small.copyTo(page(cv::Rect(260, 260, 120, 120)));
    for (const double axis : {0.3, 1.0, 1.6, 2.4}) {
        const cv::Mat tilted = test::tiltPage(page, 45.0, axis, 960.0);
        EXPECT_TRUE(near(detect(tilted), cv::Point2d(319.5, 319.5), 3.0).has_value()) << axis;
    }
}

// A blot of damage across the disc leaves no ellipse for the row scan; a symbol that fills the
// picture is still found through the white area at the middle of its dark pixels.
TEST(Detector, DiscBittenByABlot) {
    Scene scene = symbolScene({640, 640}, 576, {32, 32});
    const cv::Point2d c = scene.geometry.center;
    cv::ellipse(scene.image,
                cv::Point(cvRound(c.x - 0.5 * scene.geometry.discRadius), cvRound(c.y)),
                cv::Size(cvRound(0.45 * scene.geometry.discRadius),
                         cvRound(0.6 * scene.geometry.discRadius)),
                20.0, 0.0, 360.0, cv::Scalar::all(0), cv::FILLED);
    ASSERT_TRUE(near(detect(scene.image), c, 0.5 * scene.geometry.discRadius).has_value());
}

// A symbol whose rim the picture's edge cuts by more than a quarter cannot be read, and the same
// measures fit large round things whose "rim" lies far outside; a symbol just inside is kept.
TEST(Detector, RimFarBeyondThePictureGivesNoHypothesis) {
    const Scene whole = symbolScene({400, 400}, 300, {50, 50});
    const double rim =
        whole.geometry.discRadius + (whole.geometry.ringCount + 3) * whole.geometry.pitch;
    for (const double inside : {0.55, 0.9}) {
        // The picture's left edge moved to `inside` rims left of the centre.
        const int left = cvRound(whole.geometry.center.x - inside * rim);
        const cv::Mat cut = whole.image(cv::Rect(left, 0, 400 - left, 400)).clone();
        const std::optional<Hypothesis> h = near(
            detect(cut), whole.geometry.center - cv::Point2d(left, 0), whole.geometry.discRadius);
        EXPECT_EQ(h.has_value(), inside > 0.75) << inside;
    }
}

TEST(Detector, NothingWhereThereIsNoSymbol) {
    cv::Mat noise(480, 640, CV_8UC1);
    cv::randu(noise, 0, 256);
    cv::Mat saltAndPepper(640, 640, CV_8UC1, cv::Scalar(255));
    cv::Mat specks(saltAndPepper.size(), CV_8UC1);
    cv::randu(specks, 0, 100);
    saltAndPepper.setTo(0, specks < 20);
    cv::Mat text(960, 1280, CV_8UC3, cv::Scalar::all(255));
    for (int y = 40; y < text.rows; y += 30) {
        cv::putText(text, "Quod erat demonstrandum 0123456789 o e a d b p q @", {10, y},
                    cv::FONT_HERSHEY_SIMPLEX, 0.9, cv::Scalar::all(0), 2);
    }
    // Rings round discs of a symbol's proportions, with a marker-like bar, but no notches and no
    // modules.
    cv::Mat rings(640, 640, CV_8UC3, cv::Scalar::all(255));
    for (const cv::Point centre : {cv::Point(160, 160), cv::Point(480, 420)}) {
        cv::circle(rings, centre, 120, cv::Scalar::all(0), 20);
        cv::circle(rings, centre, 40, cv::Scalar::all(0), cv::FILLED);
        cv::circle(rings, centre, 20, cv::Scalar::all(255), cv::FILLED);
        cv::line(rings, centre, centre + cv::Point(110, 0), cv::Scalar::all(0), 6);
    }
    const cv::Mat blank(480, 640, CV_8UC3, cv::Scalar::all(255));
    const cv::Mat grey(480, 640, CV_8UC1, cv::Scalar(128));
    for (const cv::Mat& image : {noise, saltAndPepper, text, rings, blank, grey, cv::Mat()}) {
        EXPECT_TRUE(detect(image).empty()) << image.size();
    }
}

}  // namespace
}  // namespace qcl
