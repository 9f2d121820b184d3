// The manual "groovane.html": every picture it shows is one the build takes of the windows, so a
// picture renamed or dropped from the build cannot leave the manual with a hole.
#include <QImage>
#include <QRegularExpression>
#include <QString>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

TEST(Manual, ShowsOnlyPicturesTheBuildTakesOfTheWindows)
{
    std::ifstream file(GROOVANE_SOURCE_DATA "/groovane.html", std::ios::binary);
    std::stringstream html;
    html << file.rdbuf();
    const QString text = QString::fromStdString(html.str());
    int pictures = 0;
    for (const QRegularExpressionMatch& m : QRegularExpression("<img src=\"([^\"]+)\"").globalMatch(text)) {
        const std::string name = m.captured(1).toStdString();
        SCOPED_TRACE(name);
        const QImage picture(QString::fromStdString(std::string(GROOVANE_BUILD_DATA "/") + name));
        EXPECT_FALSE(picture.isNull());
        EXPECT_GT(picture.width(), 100);
        ++pictures;
    }
    EXPECT_EQ(pictures, 7);
}
