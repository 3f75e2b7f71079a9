// Images named by the screens: files of the data directory when present, otherwise
// a small built-in icon set drawn here (no external artwork needed).
#include <algorithm>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

#include "ui/qt/qt_toolkit.h"

namespace planilla::ui::qt {

namespace {

QString findFile(const QString& dir, const QString& name) {
  QDir d(dir.isEmpty() ? QStringLiteral(".") : dir);
  if (!d.exists()) return {};
  QStringList wanted;
  if (QFileInfo(name).suffix().isEmpty()) {
    for (const char* ext : {".bmp", ".png", ".ico", ".jpg"}) wanted << name + QLatin1String(ext);
  } else {
    wanted << name;
  }
  const QStringList entries = d.entryList(QDir::Files);
  for (const QString& w : wanted) {
    for (const QString& e : entries) {
      if (e.compare(w, Qt::CaseInsensitive) == 0) return d.filePath(e);
    }
  }
  return {};
}

// The name without extension and trailing digits, lower case: "exit10.bmp" -> "exit".
QString stem(const QString& name) {
  QString s = QFileInfo(name).completeBaseName().toLower();
  if (s.startsWith(QLatin1String("bitmap_"))) return s;
  while (!s.isEmpty() && s.back().isDigit()) s.chop(1);
  return s;
}

void drawCheck(QPainter& p, const QRectF& r) {
  QPen pen(QColor(20, 140, 40), r.width() * 0.14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  QPainterPath path;
  path.moveTo(r.left() + r.width() * 0.18, r.top() + r.height() * 0.55);
  path.lineTo(r.left() + r.width() * 0.42, r.top() + r.height() * 0.78);
  path.lineTo(r.left() + r.width() * 0.84, r.top() + r.height() * 0.24);
  p.drawPath(path);
}

void drawCross(QPainter& p, const QRectF& r, QColor c) {
  QPen pen(c, r.width() * 0.14, Qt::SolidLine, Qt::RoundCap);
  p.setPen(pen);
  double m = r.width() * 0.24;
  p.drawLine(QPointF(r.left() + m, r.top() + m), QPointF(r.right() - m, r.bottom() - m));
  p.drawLine(QPointF(r.right() - m, r.top() + m), QPointF(r.left() + m, r.bottom() - m));
}

void drawTrash(QPainter& p, const QRectF& r) {
  double w = r.width();
  p.setPen(QPen(QColor(70, 70, 70), w * 0.05));
  p.setBrush(QColor(200, 70, 60));
  p.drawRect(QRectF(r.left() + w * 0.26, r.top() + w * 0.3, w * 0.48, w * 0.56));
  p.drawRect(QRectF(r.left() + w * 0.18, r.top() + w * 0.2, w * 0.64, w * 0.1));
  p.drawRect(QRectF(r.left() + w * 0.4, r.top() + w * 0.12, w * 0.2, w * 0.08));
  for (int k = 0; k < 3; ++k) {
    double x = r.left() + w * (0.36 + k * 0.14);
    p.drawLine(QPointF(x, r.top() + w * 0.4), QPointF(x, r.top() + w * 0.78));
  }
}

void drawDoor(QPainter& p, const QRectF& r) {
  double w = r.width();
  p.setPen(QPen(QColor(70, 50, 30), w * 0.05));
  p.setBrush(QColor(160, 110, 60));
  p.drawRect(QRectF(r.left() + w * 0.22, r.top() + w * 0.1, w * 0.44, w * 0.8));
  p.setBrush(QColor(250, 220, 90));
  p.drawEllipse(QRectF(r.left() + w * 0.54, r.top() + w * 0.48, w * 0.07, w * 0.07));
  p.setPen(QPen(QColor(200, 40, 40), w * 0.09, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(r.left() + w * 0.62, r.top() + w * 0.3), QPointF(r.right() - w * 0.06, r.top() + w * 0.3));
  p.drawLine(QPointF(r.right() - w * 0.16, r.top() + w * 0.2), QPointF(r.right() - w * 0.06, r.top() + w * 0.3));
  p.drawLine(QPointF(r.right() - w * 0.16, r.top() + w * 0.4), QPointF(r.right() - w * 0.06, r.top() + w * 0.3));
}

void drawPlus(QPainter& p, const QRectF& r) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(30, 150, 60));
  double t = r.width() * 0.18, m = r.width() * 0.18;
  p.drawRoundedRect(QRectF(r.center().x() - t / 2, r.top() + m, t, r.height() - 2 * m), 2, 2);
  p.drawRoundedRect(QRectF(r.left() + m, r.center().y() - t / 2, r.width() - 2 * m, t), 2, 2);
}

void drawMagnifier(QPainter& p, const QRectF& r) {
  double w = r.width();
  p.setPen(QPen(QColor(40, 70, 140), w * 0.1));
  p.setBrush(QColor(200, 230, 255));
  QRectF lens(r.left() + w * 0.14, r.top() + w * 0.12, w * 0.5, w * 0.5);
  p.drawEllipse(lens);
  p.setPen(QPen(QColor(90, 60, 30), w * 0.14, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(r.left() + w * 0.58, r.top() + w * 0.58), QPointF(r.right() - w * 0.14, r.bottom() - w * 0.14));
}

void drawPencil(QPainter& p, const QRectF& r) {
  double w = r.width();
  p.save();
  p.translate(r.center());
  p.rotate(-45);
  p.setPen(QPen(QColor(60, 60, 60), w * 0.04));
  p.setBrush(QColor(240, 190, 40));
  p.drawRect(QRectF(-w * 0.32, -w * 0.09, w * 0.52, w * 0.18));
  p.setBrush(QColor(240, 210, 170));
  QPolygonF tip;
  tip << QPointF(w * 0.2, -w * 0.09) << QPointF(w * 0.38, 0) << QPointF(w * 0.2, w * 0.09);
  p.drawPolygon(tip);
  p.setBrush(QColor(230, 120, 130));
  p.drawRect(QRectF(-w * 0.4, -w * 0.09, w * 0.08, w * 0.18));
  p.restore();
}

void drawPrinter(QPainter& p, const QRectF& r) {
  double w = r.width();
  p.setPen(QPen(QColor(60, 60, 60), w * 0.04));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(r.left() + w * 0.28, r.top() + w * 0.12, w * 0.44, w * 0.3));
  p.setBrush(QColor(120, 130, 150));
  p.drawRoundedRect(QRectF(r.left() + w * 0.12, r.top() + w * 0.4, w * 0.76, w * 0.3), 3, 3);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(r.left() + w * 0.28, r.top() + w * 0.62, w * 0.44, w * 0.26));
}

void drawKey(QPainter& p, const QRectF& r) {
  double w = r.width();
  p.setPen(QPen(QColor(150, 110, 10), w * 0.1, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QRectF(r.left() + w * 0.1, r.top() + w * 0.3, w * 0.34, w * 0.34));
  p.drawLine(QPointF(r.left() + w * 0.44, r.top() + w * 0.47), QPointF(r.right() - w * 0.1, r.top() + w * 0.47));
  p.drawLine(QPointF(r.right() - w * 0.2, r.top() + w * 0.47), QPointF(r.right() - w * 0.2, r.top() + w * 0.66));
  p.drawLine(QPointF(r.right() - w * 0.34, r.top() + w * 0.47), QPointF(r.right() - w * 0.34, r.top() + w * 0.6));
}

void drawHourglass(QPainter& p, const QRectF& r) {
  double w = r.width();
  p.setPen(QPen(QColor(80, 60, 30), w * 0.06));
  p.setBrush(QColor(240, 220, 150));
  QPolygonF g;
  g << QPointF(r.left() + w * 0.25, r.top() + w * 0.15) << QPointF(r.right() - w * 0.25, r.top() + w * 0.15)
    << QPointF(r.center().x() + w * 0.04, r.center().y()) << QPointF(r.right() - w * 0.25, r.bottom() - w * 0.15)
    << QPointF(r.left() + w * 0.25, r.bottom() - w * 0.15) << QPointF(r.center().x() - w * 0.04, r.center().y());
  p.drawPolygon(g);
}

void drawPeople(QPainter& p, const QRectF& r) {
  double w = r.width();
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 2; ++i) {
    QColor c = i == 0 ? QColor(70, 110, 180) : QColor(40, 140, 120);
    double x = r.left() + w * (i == 0 ? 0.12 : 0.42);
    p.setBrush(c);
    p.drawEllipse(QRectF(x + w * 0.1, r.top() + w * 0.14, w * 0.26, w * 0.26));
    p.drawRoundedRect(QRectF(x, r.top() + w * 0.44, w * 0.46, w * 0.42), w * 0.15, w * 0.15);
  }
}

void drawBuilding(QPainter& p, const QRectF& r) {
  double w = r.width();
  p.setPen(QPen(QColor(60, 60, 90), w * 0.04));
  p.setBrush(QColor(170, 180, 210));
  p.drawRect(QRectF(r.left() + w * 0.2, r.top() + w * 0.15, w * 0.6, w * 0.72));
  p.setBrush(QColor(250, 240, 160));
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 2; ++col) {
      p.drawRect(QRectF(r.left() + w * (0.3 + col * 0.24), r.top() + w * (0.24 + row * 0.18), w * 0.14, w * 0.1));
    }
  }
}

void drawLetters(QPainter& p, const QRectF& r, const QString& text, QColor bg) {
  p.setPen(Qt::NoPen);
  p.setBrush(bg);
  p.drawRoundedRect(r.adjusted(r.width() * 0.06, r.height() * 0.06, -r.width() * 0.06, -r.height() * 0.06),
                    r.width() * 0.18, r.width() * 0.18);
  QFont f = QApplication::font();
  f.setBold(true);
  f.setPixelSize(std::max(6, static_cast<int>(r.height() * (text.size() > 2 ? 0.34 : 0.56))));
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(r, Qt::AlignCenter, text);
}

QPixmap fromStyle(QStyle::StandardPixmap sp, int w, int h) {
  return QApplication::style()->standardIcon(sp).pixmap(w, h);
}

}  // namespace

QPixmap findImage(const std::string& dataDir, const std::string& name, int width, int height) {
  width = std::max(width, 8);
  height = std::max(height, 8);
  QString qname = toQ(name);
  if (!qname.isEmpty()) {
    QString file = findFile(toQ(dataDir), qname);
    if (!file.isEmpty()) {
      QPixmap pm(file);
      if (!pm.isNull()) return pm.scaled(width, height, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
  }
  const QString s = stem(qname);
  if (s == QLatin1String("folder")) return fromStyle(QStyle::SP_DirIcon, width, height);
  if (s == QLatin1String("forms")) return fromStyle(QStyle::SP_FileDialogDetailedView, width, height);

  QPixmap pm(width, height);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  int side = std::min(width, height);
  QRectF r((width - side) / 2.0, (height - side) / 2.0, side, side);
  if (s == "check" || s == "save") {
    drawCheck(p, r);
  } else if (s == "exit" && side >= 32) {
    drawDoor(p, r);  // the bars' exit button
  } else if (s == "exit" || s == "salir" || s == "bitmap_91") {
    drawCross(p, r, QColor(200, 40, 40));
  } else if (s == "borrar" || s == "del") {
    drawTrash(p, r);
  } else if (s == "add" || s == "adic") {
    drawPlus(p, r);
  } else if (s == "modify" || s == "edit") {
    drawPencil(p, r);
  } else if (s == "buscar" || s == "search" || s == "lupa" || s == "bitmap_41") {
    drawMagnifier(p, r);
  } else if (s == "print" || s == "printer") {
    drawPrinter(p, r);
  } else if (s == "clave" || s == "b_inv") {
    drawKey(p, r);
  } else if (s == "wait") {
    drawHourglass(p, r);
  } else if (s == "peoplex") {
    drawPeople(p, r);
  } else if (s == "insti") {
    drawBuilding(p, r);
  } else if (s == "cts") {
    drawLetters(p, r, QStringLiteral("CTS"), QColor(40, 120, 60));
  } else if (s == "conta") {
    drawLetters(p, r, QStringLiteral("P"), QColor(40, 90, 150));
  } else if (s == "varmond") {
    p.setPen(QPen(QColor(140, 200, 200), 3));
    p.setBrush(QColor(60, 60, 60));
    p.drawRoundedRect(QRectF(2, 2, width - 4, height - 4), 14, 14);
    QFont f = QApplication::font();
    f.setBold(true);
    f.setPixelSize(std::max(10, height / 6));
    p.setFont(f);
    p.setPen(QColor(140, 200, 200));
    p.drawText(QRectF(0, 0, width, height), Qt::AlignCenter, QStringLiteral("Planilla"));
  } else {
    // Letter icons ("A14.bmp", "V.bmp" ...) and anything unknown: the first letter.
    QString letter = s.isEmpty() ? QStringLiteral("?") : s.left(1).toUpper();
    static const QColor palette[] = {QColor(52, 101, 164), QColor(78, 154, 6), QColor(196, 160, 0),
                                     QColor(117, 80, 123), QColor(206, 92, 0), QColor(32, 140, 140)};
    drawLetters(p, r, letter, palette[letter.at(0).unicode() % 6]);
  }
  return pm;
}

}  // namespace planilla::ui::qt
