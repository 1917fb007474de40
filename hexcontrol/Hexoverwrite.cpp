// THexEditor: writing a run of bytes at once (THexInspector's typed values).
#include "Hexcontrol.h"

void THexEditor::OverwriteBytes(qint64 offset, const QByteArray& bytes)
{
    if (FReadOnly || FDocument->ReadOnly() || FDocument->Busy() || offset < 0 || offset >= FDataSize)
        return;
    const qint64 length = qMin(qint64(bytes.size()), FDataSize - offset);
    FDocument->Seal();
    ++FLogHold;
    for (qint64 i = 0; i < length; ++i)
        FDocument->SetByte(offset + i, static_cast<unsigned char>(bytes.at(i)));
    --FLogHold;
    FDocument->Seal();
    ChangeLogUpdate();
    SetDirty(1);
    emit OnCursorByteChange(this);
    Redraw();
}
