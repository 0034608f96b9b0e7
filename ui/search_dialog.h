#pragma once

#include "search/search_request.h"
#include "services/prompts.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace vellumark {

class TFrmCatTree;

// The search dialog: the scope (the library, a group or one catalog) and the three patterns
// with their two switches. It only checks the choice; the search is the caller's.
class TFMSearch final : public QDialog {
    Q_OBJECT

public:
    TFMSearch(QWidget* parent, Prompts& prompts);

    // The search as the controls stand: the focused record's path and kind, the patterns as
    // typed.
    SearchRequest Request() const;

    void BitBtn1Click();

    TFrmCatTree* FrmCatTree() const { return frmCatTree_; }
    QLineEdit* EdFileName() const { return edFileName_; }
    QLineEdit* EdExt() const { return edExt_; }
    QLineEdit* EdDes() const { return edDes_; }
    QCheckBox* CheckBox1() const { return checkBox1_; }
    QCheckBox* CheckBox2() const { return checkBox2_; }

private:
    Prompts& prompts_;
    TFrmCatTree* frmCatTree_;
    QLineEdit* edFileName_;
    QLineEdit* edExt_;
    QLineEdit* edDes_;
    QCheckBox* checkBox1_;
    QCheckBox* checkBox2_;
};

}  // namespace vellumark
