#pragma once

#include "platform/seams.h"

#include <QList>
#include <QStringList>

#include <deque>

// Test doubles for the desktop: they record what the program asked and answer from queues.
struct FakeMessageBoxes final : MessageBoxes {
  struct Call {
    QMessageBox::Icon icon;
    QString title;
    QString prompt;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
  };
  QList<Call> calls;
  std::deque<QMessageBox::StandardButton> answers;  // empty: the default button

  QMessageBox::StandardButton show(QWidget*, QMessageBox::Icon icon, const QString& title,
                                   const QString& prompt, QMessageBox::StandardButtons buttons,
                                   QMessageBox::StandardButton defaultButton) override {
    calls.append({icon, title, prompt, buttons, defaultButton});
    if (answers.empty()) return defaultButton;
    const auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

struct FakeFileDialogs final : FileDialogs {
  struct Call {
    bool save;
    QString title;
    QString initial;
    QString filter;
  };
  QList<Call> calls;
  std::deque<std::optional<QString>> answers;  // empty: cancelled

  std::optional<QString> answer(bool save, const QString& title, const QString& initial,
                                const QString& filter) {
    calls.append({save, title, initial, filter});
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<QString> getOpenFileName(QWidget*, const QString& title, const QString& initial,
                                         const QString& filter) override {
    return answer(false, title, initial, filter);
  }
  std::optional<QString> getSaveFileName(QWidget*, const QString& title, const QString& initial,
                                         const QString& filter) override {
    return answer(true, title, initial, filter);
  }
};

struct FakeLauncher final : Launcher {
  QStringList openedFiles;
  QList<QUrl> openedUrls;
  QStringList startedPrograms;
  bool succeed = true;

  bool openFile(const QString& path, std::function<void()> failed) override {
    openedFiles << path;
    failLater = std::move(failed);
    return succeed;
  }
  std::function<void()> failLater;  // what the opener would call had it opened nothing
  bool openUrl(const QUrl& url) override {
    openedUrls << url;
    return succeed;
  }
  bool startProgram(const QString& program) override {
    startedPrograms << program;
    return succeed;
  }
};
