#include <gtest/gtest.h>

#include "ADFamilyTestSupport.h"
#include "atomdata/blog/ADBlog.h"

using namespace ad_test;

namespace {

const std::string kPostFeed = R"(<feed xmlns="http://www.w3.org/2005/Atom" xmlns:thr="http://purl.org/syndication/thread/1.0"
      xmlns:media="http://search.yahoo.com/mrss/">
  <title>Posts</title>
  <entry>
    <title>First light</title>
    <link rel="replies" type="text/html" href="http://b.test/1#comments" thr:count="4"/>
    <link rel="replies" type="application/atom+xml" href="http://b.test/1/comments" thr:count="12"
          thr:updated="2009-03-01T10:00:00Z"/>
    <link rel="enclosure" type="audio/mpeg" href="http://b.test/1.mp3" thr:count="" thr:updated=""/>
    <media:thumbnail url="http://b.test/t.png" width="72" height="72"/>
    <thr:total>12</thr:total>
  </entry>
</feed>)";

const std::string kCommentFeed = R"(<feed xmlns="http://www.w3.org/2005/Atom" xmlns:thr="http://purl.org/syndication/thread/1.0">
  <entry>
    <title>Agreed</title>
    <thr:in-reply-to href="http://b.test/1" ref="tag:b.test,1" source="http://b.test/feed" type="text/html"/>
    <link rel="replies" href="http://b.test/1/c/1/replies"/>
  </entry>
</feed>)";

const std::string kBlogFeed = R"(<feed xmlns="http://www.w3.org/2005/Atom">
  <entry>
    <title>Field notes</title>
    <link rel="replies" href="http://b.test/replies"/>
    <link rel="http://schemas.flipdesk.net/blog/2008#settings" href="http://b.test/settings"/>
    <link rel="http://schemas.flipdesk.net/blog/2008#template" href="http://b.test/template"/>
  </entry>
</feed>)";

// Posts carry media thumbnails, whose namespace the blog set leaves out.
ADNamespaces postNamespaces() {
  ADNamespaces namespaces = ADBlogConstants::blogNamespaces();
  namespaces[kADNamespaceMediaPrefix] = kADNamespaceMedia;
  return namespaces;
}

class ADBlogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { registerFamilies(); }
};

}  // namespace

TEST_F(ADBlogTest, BlogClassesAreUsedOnlyWhereNamed) {
  // Nothing registers a kind: the same feed left to the kind maps is plain Atom.
  auto plain = parse<ADFeedBase>(kPostFeed);
  ASSERT_TRUE(plain);
  EXPECT_EQ(&plain->classInfo(), &ADFeedBase::adClass());
  EXPECT_EQ(&plain->entries().at(0)->classInfo(), &ADEntryBase::adClass());
  for (const ADClass* cls : {&ADEntryBlog::adClass(), &ADEntryBlogPost::adClass(), &ADEntryBlogComment::adClass(),
                             &ADFeedBlog::adClass(), &ADFeedBlogPost::adClass(), &ADFeedBlogComment::adClass()}) {
    EXPECT_FALSE(cls->traits.standardKind) << cls->name;
    EXPECT_FALSE(cls->traits.kindAttributeValue) << cls->name;
    EXPECT_EQ(cls->defaultServiceVersion(), std::string("2.0")) << cls->name;
  }

  auto blogs = parse<ADFeedBlog>(kBlogFeed, &ADFeedBlog::adClass());
  ASSERT_TRUE(blogs);
  auto blog = std::dynamic_pointer_cast<ADEntryBlog>(blogs->entries().at(0));
  ASSERT_TRUE(blog);
  EXPECT_EQ(blog->repliesLink()->href(), "http://b.test/replies");
  EXPECT_EQ(blog->settingsLink()->href(), "http://b.test/settings");
  EXPECT_EQ(blog->templateLink()->href(), "http://b.test/template");
  roundTrip(*blogs, ADBlogConstants::blogNamespaces());
}

TEST_F(ADBlogTest, PostsReadTheirThreadAndLinks) {
  auto feed = parse<ADFeedBlogPost>(kPostFeed, &ADFeedBlogPost::adClass());
  ASSERT_TRUE(feed);
  auto post = std::dynamic_pointer_cast<ADEntryBlogPost>(feed->entries().at(0));
  ASSERT_TRUE(post);
  roundTrip(*feed, postNamespaces());

  // The HTML replies link comes first; the Atom one is found by its type.
  EXPECT_EQ(post->repliesAtomLink()->href(), "http://b.test/1/comments");
  EXPECT_EQ(post->repliesHTMLLink()->href(), "http://b.test/1#comments");
  EXPECT_EQ(post->enclosureLink()->href(), "http://b.test/1.mp3");
  EXPECT_EQ(ADThreadingLink::threadingCountForLink(*post->repliesAtomLink()), 12);
  EXPECT_EQ(text(ADThreadingLink::threadingUpdatedDateForLink(*post->repliesAtomLink())), "2009-03-01T10:00:00Z");
  EXPECT_FALSE(ADThreadingLink::threadingUpdatedDateForLink(*post->repliesHTMLLink()));
  // Empty attributes read as none.
  EXPECT_FALSE(ADThreadingLink::threadingCountForLink(*post->enclosureLink()));
  EXPECT_FALSE(ADThreadingLink::threadingUpdatedDateForLink(*post->enclosureLink()));

  checkAccessors<ADEntryBlogPost>(*post, {
      {"total", [](auto& e) { return text(e.total()); }, [](auto& e, const Text& v) { e.setTotal(number(v)); },
       "12", "30"},
      {"thumbnail", [](auto& e) { return e.thumbnail() ? e.thumbnail()->URLString() : std::nullopt; },
       [](auto& e, const Text& v) {
         auto t = std::make_shared<ADMediaThumbnail>();
         t->setStringValue(v, "url");
         e.setThumbnail(t);
       },
       "http://b.test/t.png", "http://b.test/u.png"},
      {"reply count", [](auto& e) { return text(ADThreadingLink::threadingCountForLink(*e.repliesAtomLink())); },
       [](auto& e, const Text& v) { ADThreadingLink::setThreadingCount(number(v), *e.repliesAtomLink()); }, "12", "3"},
      {"reply date",
       [](auto& e) { return text(ADThreadingLink::threadingUpdatedDateForLink(*e.repliesAtomLink())); },
       [](auto& e, const Text& v) { ADThreadingLink::setThreadingUpdatedDate(date(v), *e.repliesAtomLink()); },
       "2009-03-01T10:00:00Z", "2010-01-02T03:04:05Z"},
  });
  auto again = roundTrip(*post, postNamespaces());
  ASSERT_TRUE(again);
  EXPECT_NE(again->XMLDocumentString().find("thr:count=\"3\""), std::string::npos);
  post->setTotal(std::nullopt);
  EXPECT_FALSE(post->objectForExtensionClass(ADThreadingTotal::adClass()));
  ADThreadingLink::setThreadingCount(std::nullopt, *post->repliesAtomLink());
  EXPECT_FALSE(ADThreadingLink::threadingCountForLink(*post->repliesAtomLink()));
}

TEST_F(ADBlogTest, CommentsNameWhatTheyAnswer) {
  auto feed = parse<ADFeedBlogComment>(kCommentFeed, &ADFeedBlogComment::adClass());
  ASSERT_TRUE(feed);
  auto comment = std::dynamic_pointer_cast<ADEntryBlogComment>(feed->entries().at(0));
  ASSERT_TRUE(comment);
  ASSERT_TRUE(comment->inReplyTo());
  EXPECT_EQ(comment->repliesLink()->href(), "http://b.test/1/c/1/replies");
  ADInReplyTo& reply = *comment->inReplyTo();
  checkAccessors<ADInReplyTo>(reply, {
      {"href", [](auto& r) { return r.href(); }, [](auto& r, const Text& v) { r.setHref(v); }, "http://b.test/1",
       "http://b.test/2"},
      {"ref", [](auto& r) { return r.ref(); }, [](auto& r, const Text& v) { r.setRef(v); }, "tag:b.test,1",
       std::nullopt},
      {"source", [](auto& r) { return r.source(); }, [](auto& r, const Text& v) { r.setSource(v); },
       "http://b.test/feed", "http://b.test/other"},
      {"type", [](auto& r) { return r.type(); }, [](auto& r, const Text& v) { r.setType(v); }, "text/html",
       "application/atom+xml"},
  });
  auto again = roundTrip(*comment, ADBlogConstants::blogNamespaces());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->XMLDocumentString().find(" ref="), std::string::npos);

  auto made = ADEntryBlogComment::commentEntry();
  made->setInReplyTo(ADInReplyTo::inReplyToWithHref(std::string("h"), std::string("r"), std::nullopt, std::nullopt));
  EXPECT_EQ(made->namespaces().at("thr"), kADNamespaceThreading);
  EXPECT_EQ(made->namespaces().at(""), kADNamespaceAtom);
  auto parsedMade = roundTrip(*made, {});
  ASSERT_TRUE(parsedMade);
  EXPECT_EQ(parsedMade->inReplyTo()->ref(), "r");
}

TEST_F(ADBlogTest, TheServiceReadsOnlyNamedClasses) {
  static_assert(!FetchesUntyped<ADServiceBlog>);
  static_assert(FetchesTyped<ADServiceBlog>);
  static_assert(FetchesUntyped<ADServiceAccount>);
  ADServiceBlog service;
  EXPECT_EQ(service.serviceID(), "blog");
  EXPECT_EQ(service.defaultServiceVersion(), "2.0");
  EXPECT_EQ(service.standardServiceNamespaces(), ADBlogConstants::blogNamespaces());
  EXPECT_EQ(service.serviceRootURLString().rfind("http://", 0), 0u);
  EXPECT_EQ(ADServiceBlog::blogFeedURLForUserID("ann/x?y"), std::string(ADServiceBlog::kRootURLString) + "ann%2Fx%3Fy/blogs");
}
