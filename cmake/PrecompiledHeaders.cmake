# The headers nearly every file reads, compiled once per build and read by
# each compiler as one image instead of as text: Qt's, the test framework's
# and the standard library's. Four targets make an image; every other
# target reads one of them (REUSE_FROM), which needs its compile flags to
# be those of the target that made it, macros aside that the headers do not
# look at.
#
#   corvanta_core           the core's headers (core, fuzz targets)
#   corvanta_app            and the widgets' (app, the program, benchmarks)
#   corvanta_test_support   the core's and the test framework's (core tests)
#   corvanta_gui_test_main  the widgets' and the test framework's (app tests)
#
# The image is read before anything else in a file, so it hides an include
# a file forgot: the test Architecture.CompilesForArm64 compiles every
# source and header of core/ and app/ without it. A build folder configured
# with -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON reads every header as text.
set(CORVANTA_CORE_PCH
  <algorithm> <array> <chrono> <cmath> <cstdint> <functional> <limits>
  <memory> <optional> <utility> <vector>
  <QByteArray> <QDateTime> <QDir> <QFile> <QFileInfo> <QHash> <QJsonArray>
  <QJsonDocument> <QJsonObject> <QList> <QObject> <QSet> <QString>
  <QStringList> <QStringView> <QTimeZone> <QTimer> <QUrl>)
set(CORVANTA_GUI_PCH ${CORVANTA_CORE_PCH}
  <QColor> <QFont> <QFontMetricsF> <QHBoxLayout> <QImage> <QLabel>
  <QPainter> <QPainterPath> <QPushButton> <QVBoxLayout> <QWidget>)
# Every test file reads the test framework, and before its own includes the
# printers of Qt's values (force-included where no image is made).
set(CORVANTA_TEST_PCH <gtest/gtest.h> <QTemporaryDir>
  ${PROJECT_SOURCE_DIR}/tests/support/Printers.h)
