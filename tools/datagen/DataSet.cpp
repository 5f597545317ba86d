#include "tools/datagen/DataSet.h"

#include <filesystem>

#include "tools/datagen/BmpWriter.h"
#include "tools/datagen/Exercises.h"
#include "tools/datagen/Heightmap.h"
#include "tools/datagen/ObjWriter.h"
#include "tools/datagen/SceneModel.h"
#include "tools/datagen/Sky.h"
#include "tools/datagen/Soils.h"
#include "tools/datagen/Sounds.h"
#include "tools/datagen/Textures.h"
#include "tools/datagen/TreeSprites.h"
#include "tools/datagen/Truck.h"
#if __has_include("tools/datagen/Koparka.h")
#include "tools/datagen/Koparka.h"
#define KELVARRO_HAVE_KOPARKA 1
#endif

void writeDataSet(const std::string& dir)
{
    ObjWriter scene;
    buildSceneModel(scene);
    writeTextFile(dir + "scene.obj", scene.objText("scene.mtl"));
    writeTextFile(dir + "scene.mtl", scene.mtlText());

#ifdef KELVARRO_HAVE_KOPARKA
    ObjWriter koparka;
    buildKoparka(koparka);
    writeTextFile(dir + "koparka.obj", koparka.objText("koparka.mtl"));
    writeTextFile(dir + "koparka.mtl", koparka.mtlText());
    writeBmp(dir + koparkaTextureFile, koparkaTexture(), 24);
#endif

    ObjWriter truck;
    buildTruck(truck);
    writeTextFile(dir + "truck.obj", truck.objText("truck.mtl"));
    writeTextFile(dir + "truck.mtl", truck.mtlText());

    writeBmp(dir + "hm02.bmp", makeHeightmap(), 24);
    writeBmp(dir + "grass256.bmp", makeGrassTexture(), 24);
    writeBmp(dir + "soil256.bmp", makeSoilTexture(), 24);
    writeBmp(dir + "rock256.bmp", makeRockTexture(), 24);
    writeBmp(dir + "concrete256.bmp", makeConcreteTexture(), 24);
    for (const char* face : skyFaceNames)
        writeBmp(dir + "sky_" + face + ".bmp", makeSkyFace(face, 512), 24);
    for (int kind = 0; kind < 3; ++kind)
        writeBmp(dir + "tree0" + std::to_string(kind + 1) + ".bmp", makeTreeSprite(kind), 32);
    writeTextFile(dir + "soils.json", soilsText());
    std::error_code made;
    std::filesystem::create_directories(dir + "exercises", made);
    writeTextFile(dir + "exercises/trench.json", trenchExerciseText());
    writeTextFile(dir + "exercises/hopper.json", hopperExerciseText());
    writeTextFile(dir + "exercises/precision.json", precisionExerciseText());
    writeTextFile(dir + "exercises/truck.json", truckExerciseText());
    writeSounds(dir + "sounds/");
}
