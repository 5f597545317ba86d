#include "tools/datagen/DataSet.h"

#include "tools/datagen/ObjWriter.h"
#if __has_include("tools/datagen/Koparka.h")
#include "tools/datagen/Koparka.h"
#define KELVARRO_HAVE_KOPARKA 1
#endif

void writeDataSet(const std::string& dir)
{
#ifdef KELVARRO_HAVE_KOPARKA
    ObjWriter koparka;
    buildKoparka(koparka);
    writeTextFile(dir + "koparka.obj", koparka.objText("koparka.mtl"));
    writeTextFile(dir + "koparka.mtl", koparka.mtlText());
#endif
}
