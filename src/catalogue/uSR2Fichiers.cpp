#include "uSR2Fichiers.h"

#include "uCatalogueTables.h"

TSR2Fichier::TSR2Fichier() : TSR2Fichier(&catalogueTables().SR2Fichiers) {}

TSR2Fichier::TSR2Fichier(TTable* table) : TBaseSR2Fichier(table) {}

QString fileExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

void TSR2Fichier::loadfromSR(const QString& wfolder, const TSearchRec& sr)
{
    FListName = sr.name;
    FExtension = fileExtension(sr.name);
    FFolder = wfolder;
    Fcaption = wfolder + sr.name;
    FSize = sr.size;
    FAttribute = static_cast<qint32>(sr.attr);
    FFileCreationDate = fileTimeToDateTime(sr.creationTime);
    FFileModifyDate = fileTimeToDateTime(sr.lastWriteTime);
    FListed = 1;
}

bool TSR2Fichier::loadFromFilename(const QString& wFilename)
{
    TSearchRec sr;
    if (!findFile(wFilename, sr))
        return false;
    const qsizetype slash = wFilename.lastIndexOf(QLatin1Char('/'));
    loadfromSR(wFilename.left(slash + 1), sr);
    return true;
}

int TSR2Fichier::isPresent()
{
    sqlite3* base = db();
    if (!base)
        return 0;
    TStatement statement;
    if (statement.prepare(base, QStringLiteral("SELECT DateModify from ") + FTable->name
                                    + QStringLiteral(" WHERE Caption=?"))
            != SQLITE_OK
        || bindText(statement.get(), 1, Fcaption) != SQLITE_OK || statement.step() != SQLITE_ROW)
        return 0;
    const double stored = sqlite3_column_double(statement.get(), 0);
    if (FFileModifyDate > stored)
        return 1;
    return FFileModifyDate == stored ? 2 : 3;
}

QString TSR2Fichier::nameWithoutExtension() const
{
    return FListName.left(FListName.size() - FExtension.size());
}
