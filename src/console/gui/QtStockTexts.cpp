#include "console/gui/QtStockTexts.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <cstring>

namespace ruvo::gui {

namespace {

struct StockText {
  const char* context;
  const char* source;
  const char* romanian;
};

// Qt's source texts as Qt 6 writes them, by the class that asks for them.
constexpr StockText kStockTexts[] = {
    {"QPlatformTheme", "OK", "OK"},
    {"QPlatformTheme", "Cancel", "Renunta"},
    {"QPlatformTheme", "Open", "Deschide"},
    {"QPlatformTheme", "Save", "Salveaza"},
    {"QPlatformTheme", "Close", "Inchide"},
    {"QPlatformTheme", "Yes", "Da"},
    {"QPlatformTheme", "No", "Nu"},
    {"QFileDialog", "Look in:", "Cauta in:"},
    {"QFileDialog", "Back", "Inapoi"},
    {"QFileDialog", "Go back", "Mergi inapoi"},
    {"QFileDialog", "Forward", "Inainte"},
    {"QFileDialog", "Go forward", "Mergi inainte"},
    {"QFileDialog", "Parent Directory", "Dosarul parinte"},
    {"QFileDialog", "Go to the parent directory", "Mergi la dosarul parinte"},
    {"QFileDialog", "Create New Folder", "Dosar nou"},
    {"QFileDialog", "Create a New Folder", "Creeaza un dosar nou"},
    {"QFileDialog", "List View", "Lista"},
    {"QFileDialog", "Change to list view mode", "Arata fisierele ca lista"},
    {"QFileDialog", "Detail View", "Detalii"},
    {"QFileDialog", "Change to detail view mode", "Arata fisierele cu detalii"},
    {"QFileDialog", "Sidebar", "Locuri"},
    {"QFileDialog", "List of places and bookmarks", "Locurile si semnele de carte"},
    {"QFileDialog", "Files", "Fisiere"},
    {"QFileDialog", "Files of type:", "Tip fisier:"},
    {"QFileDialog", "File &name:", "&Nume fisier:"},
    {"QFileDialog", "File name", "Nume fisier"},
    {"QFileDialog", "Directory:", "Dosar:"},
    {"QFileDialog", "Open", "Deschide"},
    {"QFileDialog", "&Open", "&Deschide"},
    {"QFileDialog", "&Choose", "&Alege"},
    {"QFileDialog", "Save As", "Salveaza ca"},
    {"QFileDialog", "&Save", "&Salveaza"},
    {"QFileDialog", "Cancel", "Renunta"},
    {"QFileDialog", "All Files (*)", "Toate fisierele (*)"},
    {"QFileDialog", "Show ", "Arata "},
    {"QFileDialog", "&Rename", "&Redenumeste"},
    {"QFileDialog", "&Delete", "&Sterge"},
    {"QFileDialog", "Show &hidden files", "Arata fisierele &ascunse"},
    {"QFileDialog", "&New Folder", "Dosar &nou"},
    {"QFileDialog", "New Folder", "Dosar nou"},
    {"QFileDialog", "Recent Places", "Locuri recente"},
    {"QFileDialog", "Delete", "Sterge"},
    {"QFileDialog", "Are you sure you want to delete '%1'?", "Sigur stergeti '%1' ?"},
    {"QFileDialog", "Could not delete directory.", "Nu pot sterge dosarul."},
    {"QFileDialog", "'%1' is write protected.\nDo you want to delete it anyway?",
     "'%1' este protejat la scriere.\nIl stergeti totusi ?"},
    {"QFileDialog", "%1\nFile not found.\nPlease verify the correct file name was given.",
     "%1\nFisierul nu exista.\nVerificati numele fisierului."},
    {"QFileDialog", "%1\nDirectory not found.\nPlease verify the correct directory name was given.",
     "%1\nDosarul nu exista.\nVerificati numele dosarului."},
    {"QFileDialog", "%1 already exists.\nDo you want to replace it?",
     "%1 exista deja.\nIl inlocuiti ?"},
    {"QFileSystemModel", "Computer", "Calculator"},
    {"QFileSystemModel", "My Computer", "Calculator"},
    {"QFileSystemModel", "Name", "Nume"},
    {"QFileSystemModel", "Size", "Marime"},
    {"QFileSystemModel", "Type", "Tip"},
    {"QFileSystemModel", "Kind", "Tip"},
    {"QFileSystemModel", "Date Modified", "Data modificarii"},
    {"QFileSystemModel", "Invalid filename", "Nume de fisier eronat"},
    {"QAbstractFileIconProvider", "Drive", "Unitate"},
    {"QAbstractFileIconProvider", "Folder", "Dosar"},
    {"QAbstractFileIconProvider", "File Folder", "Dosar"},
    {"QAbstractFileIconProvider", "File", "Fisier"},
    {"QAbstractFileIconProvider", "%1 File", "Fisier %1"},
    {"QAbstractFileIconProvider", "Alias", "Legatura"},
    {"QAbstractFileIconProvider", "Shortcut", "Scurtatura"},
};

}  // namespace

QString QtStockTexts::translate(const char* context, const char* sourceText,
                                const char* /*disambiguation*/, int /*n*/) const {
  if (context == nullptr || sourceText == nullptr) return {};
  for (const StockText& text : kStockTexts) {
    if (std::strcmp(text.context, context) == 0 && std::strcmp(text.source, sourceText) == 0) {
      return QString::fromLatin1(text.romanian);
    }
  }
  return {};
}

void InstallQtStockTexts() {
  static QPointer<QtStockTexts> installed;
  if (installed != nullptr || QCoreApplication::instance() == nullptr) return;
  // Lives as long as the application: Qt asks it whenever a text is drawn anew.
  installed = new QtStockTexts(QCoreApplication::instance());
  QCoreApplication::installTranslator(installed);
  // The widgets there are now hear of it at once, not in the middle of a dialog made next.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
}

}  // namespace ruvo::gui
