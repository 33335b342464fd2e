// Shared by the window tests: answers every message box without a modal
// loop and records what was shown.
#pragma once

#include "app/MessageBoxes.h"

#include <QString>
#include <QStringList>

#include <vector>

struct TShownBox {
    TBoxKind Kind;
    QString Caption;
    QString Text;
};

class TBoxRecorder {
  public:
    TBoxRecorder() {
        Previous =
            SetMessageHook([this](TBoxKind kind, const QString& caption, const QString& text) {
                Boxes.push_back({kind, caption, text});
                return kind == TBoxKind::AbortIgnore ? Answer : TBoxAnswer::Ok;
            });
    }
    ~TBoxRecorder() { SetMessageHook(std::move(Previous)); }
    TBoxRecorder(const TBoxRecorder&) = delete;
    TBoxRecorder& operator=(const TBoxRecorder&) = delete;

    // The texts of the boxes shown, in order.
    QStringList Texts() const {
        QStringList texts;
        for (const TShownBox& b : Boxes)
            texts << b.Text;
        return texts;
    }

    std::vector<TShownBox> Boxes;
    TBoxAnswer Answer = TBoxAnswer::Ignore;

  private:
    TMessageHook Previous;
};
