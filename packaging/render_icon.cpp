// Renders the program's picture as the menu icons: render_icon FILE.svg and
// render_icon FILE.png SIZE. Runs at build time; it paints into memory only,
// so it needs no window system.
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <QSvgGenerator>
#include <cstdio>

#include "ui/about/logo.h"

int main(int argc, char** argv) {
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  if (args.size() == 2 && args[1].endsWith(QLatin1String(".svg"))) {
    QSvgGenerator svg;
    svg.setFileName(args[1]);
    svg.setSize(QSize(64, 64));
    svg.setViewBox(QRect(0, 0, 64, 64));
    svg.setTitle(QStringLiteral("Kelvane"));
    QPainter painter(&svg);
    kelvane::ui::paintLogo(painter, 64);
    return painter.end() ? 0 : 1;
  }
  bool sizeOk = false;
  const int size = args.size() == 3 ? args[2].toInt(&sizeOk) : 0;
  if (!sizeOk || size < 1 || size > 1024) {
    std::fputs("usage: render_icon FILE.svg | render_icon FILE.png SIZE\n", stderr);
    return 2;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  kelvane::ui::paintLogo(painter, size);
  painter.end();
  return image.save(args[1], "PNG") ? 0 : 1;
}
