#include "app/help_texts.h"

#include <QtGlobal>

#include "plot/concrete_region.h"

namespace fiberview {

QString usageGuideHtml() {
  return QStringLiteral(
      "<h3>纤维截面查看器</h3>"
      "<p>本程序读取 Korvex 写出的纤维截面文件，列出其中的截面，一次画出一节：混凝土纤维为红色圆，"
      "钢筋纤维为黑色圆，每个圆的面积按绘图比例等于纤维的面积。图旁是截面的标题、三个截面特性，"
      "以及截面的宽度和高度。</p>"
      "<h4>读取文件</h4>"
      "<ol><li>选择 Korvex 版本（老版本 / 新版本），老版本文件再选是否有说明行。</li>"
      "<li>填写每节的混凝土纤维数和钢筋纤维数。</li>"
      "<li>按“读取文件”（Ctrl+O），选择文件。列表中列出各节，选一节后按“绘图”（F5）。</li></ol>"
      "<p>把文件拖到任何一个窗口上，或从“文件 → "
      "最近打开的文件”打开，程序会从文件的数值判断读取设置，"
      "读出后直接画出第一节。设置与文件不符时，程序会说明哪一行哪一列出了问题，并提出可行的设置。</"
      "p>"
      "<h4>查看与检查</h4>"
      "<ul><li>“上一个”“下一个”（Page Up / Page Down）逐节翻看。</li>"
      "<li>“截面详图”（Ctrl+I，或双击图）：可缩放、平移的详图，纤维表、汇总数字和本节的检查结果。"
      "检查发现问题的纤维在图中用橙色圈出。</li>"
      "<li>“全部截面”（Ctrl+T）：检查文件的每一节，一行一节，可只显示有问题的截面、按标题查找、"
      "导出 CSV 表格和 PDF 报告。双击一行即在主窗口画出该节。</li></ul>"
      "<h4>导出</h4>"
      "<p>程序只在你导出时写文件：表格（CSV）、报告（PDF）和图像（PNG、SVG，在图的右键菜单中）。"
      "每次都在保存对话框中选择文件名。</p>"
      "<h4>记住的设置</h4>"
      "<p>程序记住最近打开的十个文件、上次的文件夹、各窗口的大小和位置、“按材料着色”和"
      "“只显示有问题的截面”。读取设置不记住：它们属于每个文件，由程序从文件判断。</p>");
}

QString aboutText() {
  return QStringLiteral(
             "纤维截面查看器（fiberview）%1\n\n查看 Korvex 纤维截面文件并检查其中的截面。\n\n"
             "许可证：MIT\nQt %2\nGEOS %3")
      .arg(QStringLiteral(FIBERVIEW_VERSION), QString::fromLatin1(qVersion()),
           QString::fromStdString(geometryLibraryVersion()));
}

}  // namespace fiberview
