/* contact_sheet.h - screen-sized frames as 1/8-size thumbnails on a grid with
 * a dark gap around each, written as one PNG; a cell left empty stays dark.
 * A thumbnail pixel is the mean of a 2 x 2 block of its frame, so that
 * checker-darkened frames keep their picture. */
#ifndef KESRA_DEMO_CONTACT_SHEET_H
#define KESRA_DEMO_CONTACT_SHEET_H

#include <cstdint>
#include <string>
#include <vector>

namespace navdemo {

class ContactSheet {
   public:
    ContactSheet(int columns, int rows);
    /* frame is kWidth x kHeight; a cell outside the grid is ignored. */
    void place(int column, int row, const uint16_t* frame);
    bool write(const std::string& path) const;

   private:
    int columns_, rows_, width_, height_;
    std::vector<uint16_t> pixels_;
};

/* A picture of width x height RGB565 pixels as a PNG file; a failure is said
 * on standard error. */
bool write_picture(const std::string& path, const uint16_t* pixels, int width, int height);

}  // namespace navdemo

#endif
