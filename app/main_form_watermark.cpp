// The watermark commands of the main window: embedding a sign into the store
// as it stands and checking for one. Both ask for the sign first; prompt and
// result speak the interface language, and the embedding's status texts and
// errors come from the language tables.
//
// A mark lives where it was embedded: in the spectrum or in the pixels. The
// check looks in the domain the store holds and, when it finds nothing
// there, in the other one, transformed from a copy, so that a marked picture
// is found in either view and the view itself does not change.

#include "app/image_view.h"
#include "app/main_form.h"
#include "app/main_form_busy.h"
#include "app/main_form_private.h"
#include "app/user_dialogs.h"
#include "shell/interface_texts.h"
#include "spectral/memory_budget.h"
#include "spectral/transform.h"
#include "watermark/watermark.h"

#include <QLocale>

namespace {

// The locale's decimal separator when it is a single plain character, else
// the point.
char DecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point.front().unicode() > 0 && point.front().unicode() < 0x80)
        return char(point.front().unicode());
    return '.';
}

} // namespace

std::string TForm1::AskSign() {
    const std::optional<QString> answer =
        dialogs_.AskText(this, Tr("Ihr Zeichen"), Tr("geben Sie bitte Ihr Zeichen ein"),
                         QString::fromUtf8(kDefaultSign));
    return answer ? answer->toStdString() : std::string(kDefaultSign);
}

void TForm1::BSetWatermarkClick(QObject* sender) {
    if (!PassesGuard(TCommand::SetWatermark, sender)) return;
    const std::string sign = AskSign();
    TBusyCursor busy;
    // The measure as the status bar and the error show it.
    const auto measureText = [](double measure) {
        return QString::number(measure, 'f', 4).replace('.', QChar(DecimalSeparator()));
    };
    TWatermarkResult result;
    try {
        result = EmbedWatermarkOrFail(Store, sign, [&](int pass, double measure) {
            ShowStatus(LangText("WatermarkPass").arg(pass).arg(measureText(measure)), 0);
        });
    } catch (const EWatermarkError& e) {
        // The store is as it was; say why in the interface's language.
        if (e.Kind == EWatermarkError::TKind::NotFinite)
            throw Exception(LangText("WatermarkNotFinite").toStdString());
        throw Exception(
            LangText("WatermarkTooWeak").arg(e.Passes).arg(measureText(e.Measure)).toStdString());
    }
    // On the spectrum the mark only changes values nobody looks at until the
    // transform back. On the image the store now differs from the picture
    // shown, and the picture is what Save, Copy and the next transform take:
    // show the marked image, and treat it as unsaved work.
    if (d->CommandState == 1) {
        DrawStore();
        Image1->ImageModified = 1;
    }
    // The embedding shows nothing on a spectrum: the status bar says that it
    // ran and how sure the check will be.
    QString percent = QString::number(result.Measure * 100.0, 'f', 1);
    percent.replace('.', QChar(DecimalSeparator()));
    ShowStatus(Tr("Wasserzeichen gesetzt (Durchl\u00e4ufe: %1, Ma\u00df: %2 %)")
                   .arg(result.Passes)
                   .arg(percent),
               0);
}

void TForm1::BCheckWaterClick(QObject* sender) {
    if (!PassesGuard(TCommand::CheckWatermark, sender)) return;
    const std::string sign = AskSign();
    const bool spectrumShown = d->CommandState == 2;
    double measure = 0.0;
    bool inSpectrum = spectrumShown;
    {
        TBusyCursor busy;
        measure = WatermarkMeasure(Store, sign);
        if (!WatermarkFound(measure)) {
            TSpectrumStore other;
            RequireMemory(uint64_t(4) * Store.CellCount() * sizeof(float),
                          "the copy the watermark check transforms");
            other.Cols = Store.Cols;
            other.Rows = Store.Rows;
            other.WorkPlane.assign(Store.CellCount(), 0.0f);
            for (int p = 0; p < 3; ++p) other.Planes[p] = Store.Planes[p];
            TNoProgress quiet;
            TransformStore(
                other, spectrumShown ? TTransformDirection::Inverse : TTransformDirection::Forward,
                nullptr, quiet);
            const double there = WatermarkMeasure(other, sign);
            if (WatermarkFound(there)) {
                measure = there;
                inSpectrum = !spectrumShown;
            }
        }
    }
    QString text = QString::fromStdString(
        MessageText(d->LanguageState.Language, WatermarkResult(measure, DecimalSeparator())));
    if (WatermarkFound(measure))
        text += "\n" + (inSpectrum ? Tr("(im Spektrum eingebettet)")
                                   : Tr("(in den Bildpunkten eingebettet)"));
    dialogs_.ShowInformation(this, text);
}
