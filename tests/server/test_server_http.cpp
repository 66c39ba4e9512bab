// The service end to end: HTTP requests to a served HttpService whose registrator is the
// simulator on a pseudo-terminal, asserting on the answers, the simulator's journal and tape.
#include <gtest/gtest.h>

#include <httplib.h>
#ifdef KOVRIX_SERVER_PROGRAM  // the program's own test runs it as a POSIX child process
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/cli.h"
#include "driver/codepage.h"
#include "driver/driver.h"
#include "server/http_service.h"
#include "sim/device_server.h"
#include "tests/server/served_service.h"

namespace kovrix::server {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class ServerHttp : public ServedService {
 protected:
  httplib::Client Client() {
    httplib::Client c("127.0.0.1", http->port());
    c.set_read_timeout(20, 0);
    return c;
  }
  struct Result {
    int status = 0;
    json body;
    std::string replayed;
  };
  Result Post(const std::string& path, const std::string& body, const httplib::Headers& headers = {}) {
    auto res = Client().Post(path.c_str(), headers, body, "application/json");
    if (!res) return {};
    return {res->status, json::parse(res->body, nullptr, false), res->get_header_value("Idempotent-Replayed")};
  }
  Result Get(const std::string& path) {
    auto res = Client().Get(path.c_str());
    if (!res) return {};
    return {res->status, json::parse(res->body, nullptr, false), {}};
  }
  int ReceiptKind() {
    return sim.withDevice([](sim::Registrator& r) { return static_cast<int>(r.state().receipt.kind); });
  }

};

TEST_F(ServerHttp, AWholeReceiptWithADiscountAndTwoPayments) {
  const Result r = Post("/v1/receipts", kTwoItems);
  ASSERT_EQ(r.status, 200) << r.body.dump();
  // 2 x 10.00 less 5 % = 19.00, plus 3.50.
  EXPECT_EQ(r.body, json::parse(R"({"total":"22.50","error":"0000","outcome":"printed"})"));
  // The free article places are read before the first programming only.
  EXPECT_EQ(Commands(), (std::vector<std::string>{"A0", "24", "24", "63", "64", "68", "64", "61", "6D", "67", "67", "65"}));
  EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
  const std::string tape = Tape();
  for (const char* printed : {"Хліб", "2.000 x 10.00", "Сіль", "Дякуємо!", "22.50", "ЧЕК №1"})
    EXPECT_NE(tape.find(printed), std::string::npos) << printed << "\n" << tape;
  const auto entries = sim.journal().Entries();
  EXPECT_EQ(Cp1251ToUtf8(entries[1].data), "482916;101;Хліб;10.00;0;1;");
  EXPECT_EQ(entries[4].data, "482916;101;2.000;10.00;");
}

// A refusal after the receipt opened annuls it; one before (an article the registrator will not
// program) opens nothing.
TEST_F(ServerHttp, ARefusalAnnulsTheReceiptAndNothingStaysOpen) {
  sim.faults().FailCommand(0x67, sim::err::kPayTypeDisabled);
  Result r = Post("/v1/receipts", kTwoItems);
  EXPECT_EQ(r.status, 409);
  EXPECT_EQ(r.body["error"], "090B");
  EXPECT_EQ(r.body["step"], "payment 1");
  EXPECT_FALSE(r.body["message"].get<std::string>().empty());
  EXPECT_EQ(r.body["annulled"], true);
  EXPECT_EQ(Commands().back(), "6B");
  EXPECT_EQ(sim.journal().Entries().back().data, "482916;0;");
  EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
  sim.faults().Clear();

  sim.journal().Clear();
  json body = json::parse(kTwoItems);
  body["items"][1]["taxGroup"] = 3;  // disabled in the simulator
  r = Post("/v1/receipts", body.dump());
  EXPECT_EQ(r.status, 409);
  EXPECT_EQ(r.body["error"], "050A");
  EXPECT_EQ(r.body["step"], "program item 2");
  EXPECT_EQ(Commands(), (std::vector<std::string>{"24", "24"}));  // the free places were read before

  // The sale itself refused: still annulled.
  sim.journal().Clear();
  sim.faults().FailCommand(0x64, sim::err::kArticleNotFound);
  r = Post("/v1/receipts", kTwoItems);
  EXPECT_EQ(r.status, 409);
  EXPECT_EQ(r.body["step"], "sell item 1");
  EXPECT_EQ(r.body["annulled"], true);
  EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
}

TEST_F(ServerHttp, ASilentRegistratorGives504WithTheTimeOutText) {
  sim.faults().Queue(sim::LineFault::Drop);
  const Result d = Get("/v1/device");
  EXPECT_EQ(d.status, 504);
  EXPECT_EQ(d.body["message"], "the registrator did not answer in time");
  EXPECT_EQ(d.body["deviceMessage"], "Таймаут устройства! Ошибка!");

  // A raw exchange without a reply answers 504 with the client's object.
  sim.faults().Queue(sim::LineFault::Drop);
  const Result raw = Post("/v1/commands", R"({"command":"21","data":"482916;"})");
  EXPECT_EQ(raw.status, 504);
  EXPECT_EQ(raw.body["noReply"], true);
}

// Silence in the middle of a receipt: the receipt is annulled as soon as the registrator answers
// again, and the answer says so (409, naming the step). The line is paced so that the fault can be
// queued between frames.
TEST_F(ServerHttp, SilenceInTheMiddleOfAReceiptStillAnnulsIt) {
  sim.setPace(9600);
  std::atomic<bool> done{false};
  std::thread dropper([&] {
    while (!done) {
      const auto commands = Commands();
      if (std::find(commands.begin(), commands.end(), "64") != commands.end()) {
        sim.faults().Queue(sim::LineFault::Drop);  // the item's discount that follows
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const Result r = Post("/v1/receipts", kTwoItems);
  done = true;
  dropper.join();
  EXPECT_EQ(r.status, 409) << r.body.dump();
  EXPECT_EQ(r.body["step"], "discount item 1");
  EXPECT_EQ(r.body["message"], "the registrator did not answer in time");
  EXPECT_EQ(r.body["deviceMessage"], "Таймаут устройства! Ошибка!");
  EXPECT_EQ(r.body["annulled"], true);
  EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
}

TEST_F(ServerHttp, TheSameIdempotencyKeyPrintsOnceEvenAfterARestart) {
  const httplib::Headers key{{"Idempotency-Key", "till-7-order-1001"}};
  const Result first = Post("/v1/receipts", kTwoItems, key);
  ASSERT_EQ(first.status, 200);
  const Result again = Post("/v1/receipts", kTwoItems, key);
  EXPECT_EQ(again.status, 200);
  EXPECT_EQ(again.body, first.body);
  EXPECT_EQ(again.replayed, "true");

  Shut();
  Serve();
  const Result afterRestart = Post("/v1/receipts", kTwoItems, key);
  EXPECT_EQ(afterRestart.status, 200);
  EXPECT_EQ(afterRestart.replayed, "true");
  const auto commands = Commands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "63"), 1);
  EXPECT_EQ(sim.withDevice([](sim::Registrator& d) { return d.state().receiptNumber; }), 1);

  // The same key for another request is refused, sending nothing.
  const std::size_t sent = sim.journal().Size();
  const Result other = Post("/v1/cash", R"({"amount":"5.00"})", key);
  EXPECT_EQ(other.status, 422);
  EXPECT_EQ(sim.journal().Size(), sent);
  // A refusal is kept too: its retry does not try again.
  const httplib::Headers zKey{{"Idempotency-Key", "z-1"}};
  sim.faults().FailCommand(0xA1, sim::err::kShiftState);
  EXPECT_EQ(Post("/v1/reports/z", "", zKey).status, 409);
  sim.faults().Clear();
  EXPECT_EQ(Post("/v1/reports/z", "", zKey).status, 409);
}

TEST_F(ServerHttp, ConcurrentReceiptsBothCompleteWithoutInterleaving) {
  Result a, b;
  std::thread ta([&] { a = Post("/v1/receipts", kTwoItems); });
  std::thread tb([&] { b = Post("/v1/receipts", kTwoItems); });
  ta.join();
  tb.join();
  EXPECT_EQ(a.status, 200) << a.body.dump();
  EXPECT_EQ(b.status, 200) << b.body.dump();
  auto commands = Commands();
  ASSERT_EQ(commands.size(), 23u);
  // The free article places are read once, before the first programming.
  EXPECT_EQ(commands.front(), "A0");
  commands.erase(commands.begin());
  // Each request's eleven commands run together: the second starts after the first closed.
  EXPECT_EQ(std::vector<std::string>(commands.begin(), commands.begin() + 11),
            std::vector<std::string>(commands.begin() + 11, commands.end()));
  EXPECT_EQ(commands[10], "65");
  const std::string tape = Tape();
  EXPECT_LT(tape.find("ЧЕК №1"), tape.find("ФІСКАЛЬНИЙ ЧЕК", tape.find("ЧЕК №1")));
}

TEST_F(ServerHttp, BadInputGets400AndSendsNothing) {
  struct Case {
    const char* path;
    std::string body;
    const char* names;  // what the message must mention
  };
  const std::vector<Case> cases = {
      {"/v1/receipts", "{\"items\":[", "not valid JSON"},
      {"/v1/receipts", R"({"items":[{"code":1,"name":"A","price":"abc","taxGroup":0,"quantity":1}],"payments":[]})",
       "items[0].price"},
      {"/v1/receipts", R"({"items":[{"code":1,"name":"A","price":"1","taxGroup":0,"quantity":1}]})", "payments"},
      {"/v1/non-fiscal", R"({"lines":["ok",")" + std::string(230, 'x') + "\"]}", "lines[1]"},
      {"/v1/non-fiscal", R"({"lines":"one line"})", "lines"},
      {"/v1/cash", R"({"amount":"5,00"})", "amount"},
      {"/v1/cash", R"({})", "amount"},
      {"/v1/commands", R"({"command":"10"})", "command"},
      {"/v1/reports/x", R"({"password":1})", "password"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.body.substr(0, 60));
    const Result r = Post(c.path, c.body);
    EXPECT_EQ(r.status, 400);
    EXPECT_NE(r.body.value("message", "").find(c.names), std::string::npos) << r.body.dump();
  }
  EXPECT_EQ(Post("/v1/cash", R"({"amount":"5.00"})", {{"Idempotency-Key", "has space"}}).status, 400);
  EXPECT_EQ(sim.journal().Size(), 0u);
  EXPECT_EQ(Get("/v1/nothing").status, 404);
}

TEST_F(ServerHttp, TheOtherEndpoints) {
  const Result d = Get("/v1/device");
  ASSERT_EQ(d.status, 200) << d.body.dump();
  const auto diag = sim.withDevice([](sim::Registrator& r) { return std::make_pair(r.state().model, r.state().serial); });
  EXPECT_EQ(d.body["model"], Cp1251ToUtf8(diag.first));
  EXPECT_EQ(d.body["serial"], Cp1251ToUtf8(diag.second));
  EXPECT_EQ(d.body["statusBytes"].size(), 6u);
  EXPECT_TRUE(d.body["fiscalised"].is_boolean());

  EXPECT_EQ(Post("/v1/non-fiscal", R"({"lines":["Рядок один","Рядок два"]})").status, 200);
  EXPECT_NE(Tape().find("Рядок два"), std::string::npos);
  const Result in = Post("/v1/cash", R"({"amount":"5.00"})");
  EXPECT_EQ(in.status, 200) << in.body.dump();
  EXPECT_EQ(in.body["cash"], "5.00");
  const Result tooMuch = Post("/v1/cash", R"({"amount":-100})");
  EXPECT_EQ(tooMuch.status, 409);
  EXPECT_EQ(tooMuch.body["step"], "cash out");
  EXPECT_EQ(Post("/v1/reports/x", "").status, 200);

  const Result raw = Post("/v1/commands", R"({"command":"21","data":"482916;"})");
  EXPECT_EQ(raw.status, 200);
  EXPECT_EQ(raw.body["command"], "21");
  EXPECT_EQ(raw.body["ok"], true);
  EXPECT_EQ(raw.body["fields"].size(), 2u);
  const Result refused = Post("/v1/commands", R"({"command":"21","data":"000000;"})");
  EXPECT_EQ(refused.status, 409);
  EXPECT_EQ(refused.body["error"], "0006");

  // A line the registrator refuses closes the non-fiscal receipt.
  sim.faults().FailCommand(0x61, sim::err::kPrinter);
  const Result line = Post("/v1/non-fiscal", R"({"lines":["a"]})");
  EXPECT_EQ(line.status, 409);
  EXPECT_EQ(line.body["closed"], true);
  EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
}

TEST_F(ServerHttp, ServesItsOpenApiDescription) {
  auto res = Client().Get("/v1/openapi.json");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  const json doc = json::parse(res->body);
  EXPECT_EQ(doc["openapi"].get<std::string>().substr(0, 2), "3.");
  for (const char* path : {"/v1/device", "/v1/receipts", "/v1/non-fiscal", "/v1/cash", "/v1/reports/x",
                           "/v1/reports/z", "/v1/commands", "/v1/openapi.json", "/v1/registrators",
                           "/v1/registrators/{id}/receipts", "/v1/registrators/{id}/device"})
    EXPECT_TRUE(doc["paths"].contains(path)) << path;
  // Every path described is served (a POST path answers GET with 405); the one registrator of the
  // -p form has the id 1.
  for (const auto& [path, item] : doc["paths"].items()) {
    std::string served = path;
    if (const auto at = served.find("{id}"); at != std::string::npos) served.replace(at, 4, "1");
    auto answer = Client().Get(served.c_str());
    ASSERT_TRUE(answer) << served;
    EXPECT_NE(answer->status, 404) << served;
  }
}

TEST_F(ServerHttp, WithATokenEveryRequestNeedsIt) {
  Shut();
  config.token = "s3cret";
  Serve();
  EXPECT_EQ(Get("/v1/openapi.json").status, 401);
  EXPECT_EQ(Post("/v1/reports/x", "", {{"Authorization", "Bearer wrong"}}).status, 401);
  EXPECT_EQ(Post("/v1/reports/x", "", {{"Authorization", "Bearer s3cret-and-more"}}).status, 401);
  EXPECT_EQ(sim.journal().Size(), 0u);
  EXPECT_EQ(Post("/v1/reports/x", "", {{"Authorization", "Bearer s3cret"}}).status, 200);
}

// kovrix-cli and the service take turns on one port: each continues the frame sequence the other
// left, so the registrator never takes a new frame for a repeat of the previous one.
TEST_F(ServerHttp, TakesTurnsWithTheCommandLineClient) {
  std::ostringstream out, err;
  const std::vector<std::string> cliArgs = {"-p", sim.slavePath(), "-b", "115200", "--repeats", "0", "exec",
                                            "21", "482916;"};
  for (int round = 0; round < 3; ++round) {
    // Every run starts as a fresh process would, with the link's counter at its start value.
    TheLink().SetSequenceCounter(0);
    EXPECT_EQ(cli::RunCli(cliArgs, out, err), cli::kExitOk) << err.str();
    TheLink().SetSequenceCounter(0);
    EXPECT_EQ(Get("/v1/device").status, 200);
  }
  for (const auto& e : sim.journal().Entries()) EXPECT_EQ(e.outcome, sim::Outcome::Executed) << sim::Describe(e);
  EXPECT_EQ(sim.journal().Size(), 6u);
}

#ifdef KOVRIX_SERVER_PROGRAM
// A receipt journal that cannot be written (its state directory is a file here): the list names
// it, a receipt prints nothing, and the program refuses to start, naming the file.
TEST_F(ServerHttp, AnUnwritableReceiptJournalIsNamedAndPrintsNothing) {
  Shut();
  const std::string blocked = dir + "/blocked";
  std::ofstream(blocked) << "a file where the state directory would be";
  testing::UseStateHome(blocked);
  Serve();
  const std::vector<std::string> problems = http->JournalProblems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].rfind("registrator 1: the receipt journal " + blocked + "/", 0), 0u)
      << problems[0];
  const Result list = Get("/v1/registrators");
  ASSERT_EQ(list.status, 200);
  EXPECT_EQ(list.body["registrators"][0]["journal"].get<std::string>().rfind("the receipt journal " + blocked, 0), 0u)
      << list.body.dump();
  const Result receipt = Post("/v1/receipts", kTwoItems);
  EXPECT_EQ(receipt.status, 503) << receipt.body.dump();
  EXPECT_EQ(ReceiptKind(), sim::kNoReceipt);
  EXPECT_EQ(Tape().find("Хліб"), std::string::npos);
#ifdef KOVRIX_SERVER_PROGRAM
  const std::string run = "XDG_STATE_HOME=" + blocked + " " + KOVRIX_SERVER_PROGRAM + " -p " + sim.slavePath() +
                          " --listen 127.0.0.1:0 2>" + dir + "/err.txt";
  EXPECT_EQ(WEXITSTATUS(std::system(run.c_str())), 1);
  std::ifstream err(dir + "/err.txt");
  const std::string said((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
  EXPECT_EQ(said.rfind("kovrix-server: registrator 1: the receipt journal " + blocked, 0), 0u) << said;
#endif
  testing::UseStateHome(dir);
}

// The program itself: its start line, the loopback rule, and a clean exit on SIGTERM.
TEST_F(ServerHttp, TheProgramRefusesTheNetworkWithoutATokenAndStopsCleanly) {
  const std::string program = KOVRIX_SERVER_PROGRAM;
  EXPECT_EQ(WEXITSTATUS(std::system((program + " -p x --listen 0.0.0.0:8720 2>/dev/null").c_str())), 3);

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    execl(program.c_str(), program.c_str(), "-p", sim.slavePath().c_str(), "-b", "115200", "--listen",
          "127.0.0.1:0", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string line;
  char c = 0;
  while (read(fds[0], &c, 1) == 1 && c != '\n') line += c;
  close(fds[0]);
  ASSERT_EQ(line.rfind("listening on http://127.0.0.1:", 0), 0u) << line;
  const int port = std::stoi(line.substr(line.rfind(':') + 1));
  httplib::Client client("127.0.0.1", port);
  auto res = client.Get("/v1/device");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200) << res->body;
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

}  // namespace
}  // namespace kovrix::server
