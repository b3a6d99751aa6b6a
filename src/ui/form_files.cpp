// TForm1: saving and loading data files, the clipboard hand-off and the language of the
// window. Until those are connected, the language list offers the built-in English only
// and the file actions do nothing.

#include <QComboBox>

#include "settings/language.h"
#include "ui/form1.h"

namespace kantrel::ui {

void TForm1::saveToFileClick() {}

void TForm1::loadFromFileClick() {}

void TForm1::ButtonExcelClick() {}

void TForm1::LanguageChange(int) {}

void TForm1::ReadLanguageChoice() {}

bool TForm1::FillLanguageList() {
    Language->clear();
    Language->addItem(QStringLiteral("English"));
    Language->setCurrentIndex(languageIndex >= 0 && languageIndex < Language->count() ? languageIndex : 0);
    return true;
}

void TForm1::TranslateComponents() {}

} // namespace kantrel::ui
