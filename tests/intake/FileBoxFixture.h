#pragma once

#include "CatalogueFixture.h"
#include "uQXFileBox.h"

#include <memory>

// A real catalogue file with a file box on its "VideoFichiers" table, the
// connection tuned as the program opens its own.
class FileBoxCatalogueTest : public CatalogueTest {
protected:
    void SetUp() override
    {
        CatalogueTest::SetUp();
        tuneConnection(db, true);
        box = std::make_unique<TQXFileBox>();
        box->setTableName(QStringLiteral("VideoFichiers"));
        box->setBase(db);
    }

    // The box goes before the connection it works on.
    void TearDown() override
    {
        box.reset();
        CatalogueTest::TearDown();
    }

    QStringList listedNames()
    {
        QStringList names;
        TStatement s;
        s.prepare(db, QStringLiteral("SELECT ListName FROM VideoFichiers WHERE Listed=1 ORDER BY ListName"));
        while (s.step() == SQLITE_ROW)
            names << columnText(s.get(), 0);
        return names;
    }

    qint64 rows() { return scalar(QStringLiteral("SELECT count(*) FROM VideoFichiers")); }

    std::unique_ptr<TQXFileBox> box;
};
