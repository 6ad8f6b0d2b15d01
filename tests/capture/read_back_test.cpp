// The capture's read-back on a test card of known colours: every frame the
// tool writes comes through it, so a swapped channel or a flipped row would
// reach every picture and video it makes.
#include "tools/capture/read_back.h"

#include "tests/support/gl_fixture.h"

TEST_F(GLTest, ReadBackGivesTheFrameTopRowFirstInRedGreenBlue) {
    // Four quadrants and a marked top-left pixel, exact through the clears.
    const Rgb kCard[] = {{250, 20, 5}, {10, 240, 30}, {40, 60, 230}, {200, 150, 100}};
    for (int q = 0; q < 4; ++q)
        FillRect(q % 2 * 400, q / 2 * 300, 400, 300, kCard[q]);
    FillRect(0, 0, 1, 1, {1, 2, 3});
    ReadBack reader;
    JobQueue queue;
    ASSERT_TRUE(ReadFrameBack(reader, queue, 7, 1234));
    ASSERT_TRUE(FinishReadBack(reader, queue));
    Job job;
    queue.Close();
    ASSERT_TRUE(queue.Pop(&job));
    TurnReadBackIntoPixels(job, queue); // as the writer thread does
    EXPECT_EQ(job.frame, 7);
    EXPECT_EQ(job.t, 1234);
    ASSERT_EQ(job.pixels.rgb.size(), size_t(800 * 600 * 3));
    auto at = [&](int x, int y) {
        const uint8_t* p = &job.pixels.rgb[(size_t(y) * 800 + x) * 3];
        return Rgb{p[0], p[1], p[2]};
    };
    EXPECT_EQ(at(0, 0), (Rgb{1, 2, 3}));
    for (int q = 0; q < 4; ++q)
        for (auto [dx, dy] : {std::pair{1, 1}, {399, 299}})
            EXPECT_EQ(at(q % 2 * 400 + dx, q / 2 * 300 + dy), kCard[q]) << "quadrant " << q;
}
