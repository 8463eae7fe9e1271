#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace quorvane::ui {

// The folder and file choosers, so that tests can answer them.
class FilePickers {
  public:
    virtual ~FilePickers() = default;
    virtual std::optional<QString> ChooseFolder(QWidget* parent, const QString& title,
                                                const QString& start) = 0;
    virtual std::optional<QString> ChooseFile(QWidget* parent, const QString& initial,
                                              const QString& filters,
                                              const QString& selectedFilter) = 0;
};

class QtFilePickers : public FilePickers {
  public:
    std::optional<QString> ChooseFolder(QWidget* parent, const QString& title,
                                        const QString& start) override;
    std::optional<QString> ChooseFile(QWidget* parent, const QString& initial,
                                      const QString& filters,
                                      const QString& selectedFilter) override;
};

}  // namespace quorvane::ui
