#include "watermark/frmWatermarkOptions.h"

frmWatermarkOptions::frmWatermarkOptions(Forms &forms, QWidget *parent) : QDialog(parent), m_forms(forms)
{
}
