// lines.h - the show's lines (the bauble strings, the valley's tree trunks)
// as thick against the picture at every size: GL lines of the width the
// capabilities give, or, where the driver cannot draw lines that wide,
// thin quads facing the screen.
#pragma once

struct LinePoint {
    float colour[3];
    float pos[3];
};

// A strip through count points, or count / 2 separate segments, in the
// current matrices, coloured per point as GL lines are.
void drawLines(const LinePoint* points, int count, bool strip);
