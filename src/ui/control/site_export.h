#pragma once

class QWidget;

namespace quorvane::config {
class ProgramFolder;
}

namespace quorvane::ui {

class FilePickers;
class MessageBoxes;

// "Export for nginx...": asks for a folder, writes the site there (over
// files already in it only once the user agrees) and says what it wrote or
// why it could not.
void ExportForNginx(QWidget* parent, const config::ProgramFolder& program, FilePickers& pickers,
                    MessageBoxes& messages);

}  // namespace quorvane::ui
